#include <random>

#include "sim_fixture.h"

namespace vexcam::sim {
namespace {

TEST(SimPattern, VariesWithPositionTagAndExposure) {
  // Neighbours differ in x, in y and between consecutive tags; 8 bits is the
  // high byte of 16 bits.
  for (uint32_t y = 0; y < 64; ++y)
    for (uint32_t x = 0; x < 64; ++x) {
      const uint16_t v = PatternSample(5, 1000, x, y, 16);
      EXPECT_NE(v, PatternSample(5, 1000, x + 1, y, 16));
      EXPECT_NE(v, PatternSample(5, 1000, x, y + 1, 16));
      EXPECT_NE(v, PatternSample(6, 1000, x, y, 16));
      EXPECT_EQ(PatternSample(5, 1000, x, y, 8), v >> 8);
    }
  // Brightness grows with the exposure up to the cap.
  uint64_t dim = 0, bright = 0, capped = 0;
  for (uint32_t x = 0; x < 256; ++x) {
    dim += PatternSample(1, 100, x, 3, 16);
    bright += PatternSample(1, 1000, x, 3, 16);
    capped += PatternSample(1, 5000, x, 3, 16);
  }
  EXPECT_LT(dim, bright);
  EXPECT_LE(bright, capped);
  EXPECT_EQ(capped, [] {
    uint64_t s = 0;
    for (uint32_t x = 0; x < 256; ++x) s += PatternSample(1, 1920, x, 3, 16);
    return s;
  }());
}

TEST(SimPattern, RowFillAndByteCopyMatchTheSampleFunction) {
  std::mt19937 rng(7);
  auto next = [&](uint32_t m) { return static_cast<uint32_t>(rng() % m); };
  for (int bits : {8, 16}) {
    for (int round = 0; round < 50; ++round) {
      PatternFrame f{.tag = next(1000),
                     .exposure = next(3000),
                     .x0 = next(33),
                     .y0 = next(17),
                     .width = 1 + next(40),
                     .height = 1 + next(9),
                     .bits = bits};
      const std::vector<uint8_t> ref = test::Reference(f);
      ASSERT_EQ(ref.size(), PatternFrameBytes(f));
      // Arbitrary (also odd) offsets and lengths, and bytes past the end are 0.
      const uint64_t offset = rng() % ref.size();
      const uint64_t count = 1 + rng() % (ref.size() + 8);
      std::vector<uint8_t> out(count, 0xEE);
      CopyPatternBytes(f, offset, out.data(), count);
      for (uint64_t i = 0; i < count; ++i)
        ASSERT_EQ(out[i], offset + i < ref.size() ? ref[offset + i] : 0) << "byte " << i;
    }
  }
}

}  // namespace
}  // namespace vexcam::sim
