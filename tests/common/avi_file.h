#pragma once
// An independent RIFF walker for the AVI files the SDK writes: every size
// field is checked against the data and the index against the chunks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vexcam::test {

namespace avi_detail {
inline uint32_t Le32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace avi_detail

struct AviFile {
  uint32_t usPerFrame = 0, maxBytesPerSec = 0, flags = 0, totalFrames = 0, suggested = 0, width = 0,
           height = 0;
  uint32_t scale = 0, rate = 0, length = 0, streamSuggested = 0, bitCount = 0;
  std::string handler;
  std::vector<uint32_t> chunkOffsets;  // from the "movi" code
  std::vector<uint32_t> chunkSizes;
  std::vector<uint32_t> indexOffsets;
  std::vector<uint32_t> indexSizes;
};

inline std::string Code(const std::vector<uint8_t>& b, size_t at) {
  return std::string(b.begin() + at, b.begin() + at + 4);
}

// Walks the file checking every size field against the data; fails the
// calling test on any inconsistency.
inline void ParseAvi(const std::vector<uint8_t>& b, AviFile& avi) {
  using avi_detail::Le16;
  using avi_detail::Le32;
  ASSERT_GE(b.size(), 240u);
  ASSERT_EQ(Code(b, 0), "RIFF");
  ASSERT_EQ(Le32(&b[4]), b.size() - 8) << "RIFF size";
  ASSERT_EQ(Code(b, 8), "AVI ");
  ASSERT_EQ(Code(b, 12), "LIST");
  ASSERT_EQ(Le32(&b[16]), 200u);
  ASSERT_EQ(Code(b, 20), "hdrl");
  ASSERT_EQ(Code(b, 24), "avih");
  ASSERT_EQ(Le32(&b[28]), 56u);
  avi.usPerFrame = Le32(&b[32]);
  avi.maxBytesPerSec = Le32(&b[36]);
  avi.flags = Le32(&b[44]);
  avi.totalFrames = Le32(&b[48]);
  EXPECT_EQ(Le32(&b[56]), 1u);  // streams
  avi.suggested = Le32(&b[60]);
  avi.width = Le32(&b[64]);
  avi.height = Le32(&b[68]);
  ASSERT_EQ(Code(b, 88), "LIST");
  ASSERT_EQ(Le32(&b[92]), 124u);
  ASSERT_EQ(Code(b, 96), "strl");
  ASSERT_EQ(Code(b, 100), "strh");
  ASSERT_EQ(Le32(&b[104]), 64u);
  ASSERT_EQ(Code(b, 108), "vids");
  avi.handler = Code(b, 112);
  avi.scale = Le32(&b[128]);
  avi.rate = Le32(&b[132]);
  avi.length = Le32(&b[140]);
  avi.streamSuggested = Le32(&b[144]);
  ASSERT_EQ(Code(b, 172), "strf");
  ASSERT_EQ(Le32(&b[176]), 40u);
  EXPECT_EQ(Le32(&b[180]), 40u);
  EXPECT_EQ(Le32(&b[184]), avi.width);
  EXPECT_EQ(Le32(&b[188]), avi.height);
  EXPECT_EQ(Le16(&b[192]), 1);
  avi.bitCount = Le16(&b[194]);
  EXPECT_EQ(Le32(&b[196]), 0u);  // uncompressed
  ASSERT_EQ(Code(b, 220), "LIST");
  const uint32_t moviSize = Le32(&b[224]);
  ASSERT_EQ(Code(b, 228), "movi");
  const size_t moviEnd = 228 + size_t{moviSize};
  ASSERT_LE(moviEnd + 8, b.size());
  for (size_t at = 232; at < moviEnd;) {
    ASSERT_EQ(Code(b, at), "00db") << at;
    const uint32_t size = Le32(&b[at + 4]);
    avi.chunkOffsets.push_back(static_cast<uint32_t>(at - 228));
    avi.chunkSizes.push_back(size);
    at += 8 + size;
    ASSERT_LE(at, moviEnd);
  }
  ASSERT_EQ(Code(b, moviEnd), "idx1");
  const uint32_t indexBytes = Le32(&b[moviEnd + 4]);
  ASSERT_EQ(moviEnd + 8 + indexBytes, b.size());
  ASSERT_EQ(indexBytes % 16, 0u);
  for (size_t at = moviEnd + 8; at < b.size(); at += 16) {
    EXPECT_EQ(Code(b, at), "00db");
    EXPECT_EQ(Le32(&b[at + 4]), 0x10u);  // key frame
    avi.indexOffsets.push_back(Le32(&b[at + 8]));
    avi.indexSizes.push_back(Le32(&b[at + 12]));
  }
  EXPECT_EQ(avi.indexOffsets, avi.chunkOffsets);
  EXPECT_EQ(avi.indexSizes, avi.chunkSizes);
}

}  // namespace vexcam::test
