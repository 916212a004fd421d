// AVI files checked with an independent RIFF walker.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/avi_writer.h"
#include "files_test_util.h"

namespace vexcam {
namespace {

using test::Le16;
using test::Le32;
using test::ReadAll;

struct ParsedAvi {
  uint32_t usPerFrame = 0, maxBytesPerSec = 0, flags = 0, totalFrames = 0, suggested = 0, width = 0,
           height = 0;
  uint32_t scale = 0, rate = 0, length = 0, streamSuggested = 0, bitCount = 0;
  std::string handler;
  std::vector<uint32_t> chunkOffsets;  // from the "movi" code
  std::vector<uint32_t> chunkSizes;
  std::vector<uint32_t> indexOffsets;
  std::vector<uint32_t> indexSizes;
};

std::string Code(const std::vector<uint8_t>& b, size_t at) {
  return std::string(b.begin() + at, b.begin() + at + 4);
}

// Walks the file checking every size field against the data; fails the
// calling test on any inconsistency.
void ParseAvi(const std::vector<uint8_t>& b, ParsedAvi& avi) {
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

// A bottom-up frame whose bytes tell frame number and position apart.
DibImage Frame(int width, int height, int number) {
  DibImage frame;
  EXPECT_TRUE(frame.Create(width, height, 24));
  for (size_t i = 0; i < frame.SizeBytes(); ++i)
    frame.Pixels()[i] = static_cast<uint8_t>(i * 7 + number * 31);
  return frame;
}

// Records the given frames into a new file and finalises it.
void Record(const std::string& path, const std::vector<DibImage>& frames, uint32_t fps,
            uint32_t elapsedMs) {
  AviWriter writer;
  ASSERT_EQ(writer.Open(path.c_str(), frames.at(0).Width(), frames[0].Height(), 24, fps), 1);
  for (const DibImage& f : frames) ASSERT_EQ(writer.AddFrame(f), 1);
  ASSERT_EQ(writer.Close(elapsedMs), 1);
}

class AviWriterTest : public test::FilesTest {};

TEST_F(AviWriterTest, FullSizeRecordingHasTheDocumentedLayout) {
  const std::string path = Path("rec.avi");
  AviWriter writer;
  ASSERT_EQ(writer.Open(path.c_str(), 640, 512, 16, 30), 1);
  std::vector<DibImage> frames;
  for (int k = 0; k < 3; ++k) {
    frames.push_back(Frame(640, 512, k));
    ASSERT_EQ(writer.AddFrame(frames.back()), 1);
  }
  EXPECT_EQ(writer.FrameCount(), 3u);
  // 90 frames over 3000 ms: 30.00 frames per second.
  ASSERT_EQ(writer.Close(AviWriter::MeasureRate(90, 3000)), 1);
  EXPECT_FALSE(writer.IsOpen());

  const auto b = ReadAll(path);
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(b, avi));
  EXPECT_EQ(b.size(), 232u + 3 * 983048u + 8 + 48);
  EXPECT_EQ(Le32(&b[224]), 4u + 3 * 983048u);
  EXPECT_EQ(avi.usPerFrame, 33333u);
  EXPECT_EQ(avi.scale, 333333u);
  EXPECT_EQ(avi.rate, 10000000u);
  EXPECT_EQ(avi.maxBytesPerSec, 983048u * 30);
  EXPECT_EQ(avi.flags, 0x10010u);
  EXPECT_EQ(avi.totalFrames, 3u);
  EXPECT_EQ(avi.length, 3u);
  EXPECT_EQ(avi.suggested, 983048u);
  EXPECT_EQ(avi.streamSuggested, 983048u);
  EXPECT_EQ(avi.width, 640u);
  EXPECT_EQ(avi.height, 512u);
  EXPECT_EQ(avi.handler, "DIB ");
  EXPECT_EQ(avi.bitCount, 24u);
  ASSERT_EQ(avi.indexOffsets.size(), 3u);
  for (uint32_t k = 0; k < 3; ++k) {
    EXPECT_EQ(avi.indexOffsets[k], 4 + k * 983048u);
    EXPECT_EQ(avi.chunkSizes[k], 983040u);
    EXPECT_EQ(std::memcmp(&b[228 + avi.chunkOffsets[k] + 8], frames[k].Pixels(), 983040), 0) << k;
  }
}

TEST_F(AviWriterTest, RateMeasurement) {
  EXPECT_EQ(AviWriter::MeasureRate(90, 3000), 3000u);
  EXPECT_EQ(AviWriter::MeasureRate(1, 0), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(5, 0), 0u);
  EXPECT_EQ(AviWriter::MeasureRate(1, 500), 0u);
  // frames x 100000 exceeds 32 bits here.
  EXPECT_EQ(AviWriter::MeasureRate(100000, 1000000), 10000u);
}

TEST_F(AviWriterTest, ShortRecordingsKeepTheOpeningRate) {
  for (int frames : {0, 1}) {
    const std::string path = Path("short.avi");
    AviWriter writer;
    ASSERT_EQ(writer.Open(path.c_str(), 16, 8, 24, 25), 1);
    for (int k = 0; k < frames; ++k) ASSERT_EQ(writer.AddFrame(Frame(16, 8, k)), 1);
    ASSERT_EQ(writer.Close(0), 1);
    ParsedAvi avi;
    ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(path), avi));
    EXPECT_EQ(avi.totalFrames, static_cast<uint32_t>(frames));
    EXPECT_EQ(avi.usPerFrame, 40000u);
    EXPECT_EQ(avi.scale, 400000u);
  }
}

TEST_F(AviWriterTest, OddWidthChunksHoldPaddedRows) {
  const std::string path = Path("odd.avi");
  std::vector<DibImage> frames;
  frames.push_back(Frame(642, 3, 1));
  ASSERT_NO_FATAL_FAILURE(Record(path, frames, 30, 3000));
  const DibImage& frame = frames[0];
  const auto b = ReadAll(path);
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(b, avi));
  ASSERT_EQ(avi.chunkSizes.size(), 1u);
  EXPECT_EQ(avi.chunkSizes[0], 1928u * 3);
  EXPECT_EQ(avi.suggested, 1928u * 3 + 8);
  EXPECT_EQ(std::memcmp(&b[240], frame.Pixels(), frame.SizeBytes()), 0);
}

TEST_F(AviWriterTest, FramesOfAnotherShapeAreRefused) {
  AviWriter writer;
  EXPECT_EQ(writer.AddFrame(Frame(8, 8, 0)), 0);  // not open
  EXPECT_EQ(writer.Close(0), 0);
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 7, 30), 0);
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 0, 8, 24, 30), 0);
  EXPECT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 24, 0), 0);
  ASSERT_EQ(writer.Open(Path("x.avi").c_str(), 8, 8, 24, 30), 1);
  EXPECT_EQ(writer.AddFrame(Frame(8, 9, 0)), 0);
  DibImage gray;
  ASSERT_TRUE(gray.Create(8, 8, 8));
  EXPECT_EQ(writer.AddFrame(gray), 0);
  EXPECT_EQ(writer.AddFrame(Frame(8, 8, 0)), 1);  // refusals do not end the recording
  EXPECT_EQ(writer.Close(0), 1);
}

TEST_F(AviWriterTest, SecondRecordingStartsFresh) {
  AviWriter writer;
  ASSERT_EQ(writer.Open(Path("a.avi").c_str(), 32, 16, 24, 30), 1);
  for (int k = 0; k < 4; ++k) ASSERT_EQ(writer.AddFrame(Frame(32, 16, k)), 1);
  ASSERT_EQ(writer.Close(2000), 1);
  ASSERT_EQ(writer.Open(Path("b.avi").c_str(), 32, 16, 24, 30), 1);
  EXPECT_EQ(writer.FrameCount(), 0u);
  const DibImage last = Frame(32, 16, 9);
  ASSERT_EQ(writer.AddFrame(last), 1);
  // Opening again finalises the open file first.
  ASSERT_EQ(writer.Open(Path("c.avi").c_str(), 32, 16, 24, 30), 1);
  ASSERT_EQ(writer.Close(0), 1);
  ParsedAvi a, b, c;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(Path("a.avi")), a));
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(Path("b.avi")), b));
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(Path("c.avi")), c));
  EXPECT_EQ(a.totalFrames, 4u);
  EXPECT_EQ(a.usPerFrame, 50000u);
  EXPECT_EQ(b.totalFrames, 1u);
  EXPECT_EQ(b.indexOffsets, std::vector<uint32_t>{4});
  EXPECT_EQ(std::memcmp(&ReadAll(Path("b.avi"))[240], last.Pixels(), last.SizeBytes()), 0);
  EXPECT_EQ(c.totalFrames, 0u);
}

TEST_F(AviWriterTest, DestructionFinalisesAnOpenFile) {
  {
    AviWriter writer;
    ASSERT_EQ(writer.Open(Path("d.avi").c_str(), 8, 4, 24, 30), 1);
    ASSERT_EQ(writer.AddFrame(Frame(8, 4, 0)), 1);
    ASSERT_EQ(writer.AddFrame(Frame(8, 4, 1)), 1);
  }
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(Path("d.avi")), avi));
  EXPECT_EQ(avi.totalFrames, 2u);
}

TEST_F(AviWriterTest, UnwritableFilesFailToOpenAndLeaveNothing) {
  AviWriter writer;
  EXPECT_EQ(writer.Open(Path("no/dir/x.avi").c_str(), 64, 64, 24, 30), 0);
  EXPECT_EQ(writer.Open("/dev/full", 64, 64, 24, 30), 0);
  EXPECT_TRUE(test::Exists("/dev/full"));
  EXPECT_FALSE(writer.IsOpen());
}

TEST_F(AviWriterTest, DiskFullStopsTheRecordingAndKeepsWhatWasWritten) {
  // Room for the headers and two and a half full-size frames.
  const std::string path = Path("full.avi");
  AviWriter writer;
  int accepted = 0, refused = 0;
  {
    test::FileSizeLimit limit(232 + 983048 * 5 / 2);
    ASSERT_EQ(writer.Open(path.c_str(), 640, 512, 24, 30), 1);
    const DibImage frame = Frame(640, 512, 0);
    for (int k = 0; k < 6; ++k) (writer.AddFrame(frame) ? accepted : refused)++;
    EXPECT_GT(refused, 0);
    EXPECT_EQ(writer.Close(3000), 0);  // accepted frames were lost in the buffer
  }
  EXPECT_GE(accepted, 2);
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(path), avi));
  EXPECT_EQ(avi.totalFrames, 2u);
  EXPECT_EQ(avi.length, 2u);
  EXPECT_EQ(avi.indexOffsets, (std::vector<uint32_t>{4, 4 + 983048}));
}

TEST_F(AviWriterTest, DiskFullWhileFramesAreBufferedIsReportedByClose) {
  const std::string path = Path("buffered.avi");
  AviWriter writer;
  {
    test::FileSizeLimit limit(232 + 3 * 776 + 500);
    ASSERT_EQ(writer.Open(path.c_str(), 16, 16, 24, 30), 1);
    for (int k = 0; k < 10; ++k) ASSERT_EQ(writer.AddFrame(Frame(16, 16, k)), 1);
    EXPECT_EQ(writer.Close(3000), 0);
  }
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(ReadAll(path), avi));
  EXPECT_EQ(avi.totalFrames, 3u);
}

TEST_F(AviWriterTest, FileSizeLimitEndsTheRecordingWithAValidFile) {
  // A limit for two 768-byte frames (16 x 16 x 3) and their index.
  AviWriter writer(232 + 2 * 776 + 8 + 32);
  const std::string path = Path("limit.avi");
  ASSERT_EQ(writer.Open(path.c_str(), 16, 16, 24, 30), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 0)), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 1)), 1);
  EXPECT_EQ(writer.AddFrame(Frame(16, 16, 2)), 0);
  EXPECT_EQ(writer.Close(3000), 1);  // nothing accepted was lost
  const auto b = ReadAll(path);
  EXPECT_EQ(b.size(), 232u + 2 * 776 + 8 + 32);
  ParsedAvi avi;
  ASSERT_NO_FATAL_FAILURE(ParseAvi(b, avi));
  EXPECT_EQ(avi.totalFrames, 2u);
}

TEST_F(AviWriterTest, IndependentPlayerAgrees) {
  if (std::system("command -v ffprobe > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffprobe not installed";
  const std::string path = Path("probe.avi");
  std::vector<DibImage> frames;
  for (int k = 0; k < 5; ++k) frames.push_back(Frame(640, 512, k));
  ASSERT_NO_FATAL_FAILURE(Record(path, frames, 30, 2500));
  const std::string cmd =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=codec_name,width,height,nb_read_frames -of default=nw=1 '" +
      path + "'";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  EXPECT_NE(out.find("codec_name=rawvideo"), std::string::npos) << out;
  EXPECT_NE(out.find("width=640"), std::string::npos) << out;
  EXPECT_NE(out.find("height=512"), std::string::npos) << out;
  EXPECT_NE(out.find("nb_read_frames=5"), std::string::npos) << out;
}

}  // namespace
}  // namespace vexcam
