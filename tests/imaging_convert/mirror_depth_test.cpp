#include <gtest/gtest.h>

#include "convert_reference.h"
#include "imaging/depth_convert.h"
#include "imaging/mirror.h"
#include "imaging/restride.h"

namespace vexcam {
namespace {

using testref::Make;
using testref::Sample;

const int kDims[][2] = {{1, 1}, {2, 2}, {3, 5}, {4, 4}, {7, 3}, {13, 6}};

TEST(SoftwareMirror, AxesAgainstReferenceAndHardwareAxesLeftAlone) {
  std::mt19937 rng(21);
  for (int bits : {8, 16})
    for (const auto& d : kDims)
      for (int h = 0; h < 2; ++h)
        for (int v = 0; v < 2; ++v)
          for (int hw = 0; hw < 4; ++hw) {
            DibImage raw = testref::RandomImage(d[0], d[1], bits, rng), scratch;
            const DibImage orig = testref::Copy(raw);
            const MirrorHardware hard{(hw & 1) != 0, (hw & 2) != 0};
            const bool doH = h && !hard.horizontal, doV = v && !hard.vertical;
            EXPECT_EQ(SoftwareMirror(raw, scratch, h, v, hard), doH || doV);
            for (int y = 0; y < d[1]; ++y)
              for (int x = 0; x < d[0]; ++x) {
                const int sx = doH ? d[0] - 1 - x : x, sy = doV ? d[1] - 1 - y : y;
                ASSERT_EQ(Sample(raw, x, y), Sample(orig, sx, sy));
              }
          }
  DibImage color = Make(4, 4, 24), scratch;
  EXPECT_FALSE(SoftwareMirror(color, scratch, true, true, {}));
}

TEST(RestrideRows, MovesPackedRowsToStrideAndClearsPadding) {
  std::mt19937 rng(5);
  for (int bpp : {1, 2})
    for (const auto& d : kDims) {
      DibImage im = testref::RandomImage(d[0], d[1], bpp * 8, rng);
      const size_t rowBytes = static_cast<size_t>(d[0]) * bpp;
      const std::vector<uint8_t> packed(im.Pixels(), im.Pixels() + rowBytes * d[1]);
      ASSERT_TRUE(RestrideRows(im, bpp));
      for (int y = 0; y < d[1]; ++y) {
        ASSERT_EQ(std::memcmp(im.Row(y), packed.data() + y * rowBytes, rowBytes), 0) << y;
        for (size_t i = rowBytes; i < im.Stride(); ++i) ASSERT_EQ(im.Row(y)[i], 0) << y;
      }
    }
  DibImage img = Make(3, 3, 8);
  EXPECT_FALSE(RestrideRows(img, 2));  // 6 bytes do not fit a 4-byte row
  DibImage empty;
  EXPECT_FALSE(RestrideRows(empty, 1));
}

// Destination sample i of a pixel is source sample i (red and blue swapped
// when `swap`), shifted right, multiplied and cut to the destination's
// sample size; the fourth sample may instead be inverted or made opaque.
enum Fourth { kSame, kInvert, kOpaque };
struct DepthCase {
  const char* name;
  RegionOp op;
  int srcBits, dstBits;
  bool flip, swap;
  int shift, times;
  Fourth fourth;
};

uint32_t Expected(const DepthCase& c, const DibImage& src, int x, int y, int i) {
  if (i == 3 && c.fourth == kInvert) return 255 - Sample(src, x, y, 3);
  if (i == 3 && c.fourth == kOpaque) return 65535;
  const uint32_t mask = c.dstBits == 16 || c.dstBits >= 48 ? 0xFFFF : 0xFF;
  return ((Sample(src, x, y, c.swap && i < 3 ? 2 - i : i) >> c.shift) * c.times) & mask;
}

TEST(DepthConversions, EveryConversionMatchesItsRule) {
  const DepthCase cases[] = {
      {"16to8 high", Convert16To8High, 16, 8, false, false, 8, 1, kSame},
      {"16to8 high flip", Convert16To8HighFlip, 16, 8, true, false, 8, 1, kSame},
      {"16to8 >>2 flip", Convert16To8Shift2Flip, 16, 8, true, false, 2, 1, kSame},
      {"16to8 >>4 flip", Convert16To8Shift4Flip, 16, 8, true, false, 4, 1, kSame},
      {"16 x16", Convert16Times16, 16, 16, false, false, 0, 16, kSame},
      {"16 x64", Convert16Times64, 16, 16, false, false, 0, 64, kSame},
      {"32to24", Convert32To24, 32, 24, false, false, 0, 1, kSame},
      {"48to24", ConvertWideTo24High, 48, 24, false, false, 8, 1, kSame},
      {"64to24", ConvertWideTo24High, 64, 24, false, false, 8, 1, kSame},
      {"48to24 flip", ConvertWideTo24HighFlip, 48, 24, true, false, 8, 1, kSame},
      {"64to24 flip", ConvertWideTo24HighFlip, 64, 24, true, false, 8, 1, kSame},
      {"24to24 flip", Convert24To24Flip, 24, 24, true, false, 0, 1, kSame},
      {"rows flip 8", CopyRowsFlip, 8, 8, true, false, 0, 1, kSame},
      {"swap 24", SwapRedBlue8, 24, 24, false, true, 0, 1, kSame},
      {"swap 32", SwapRedBlue8, 32, 32, false, true, 0, 1, kSame},
      {"32 alpha", Convert32AlphaInvert, 32, 32, false, false, 0, 1, kInvert},
      {"48 x16", Convert48Times16, 48, 48, false, false, 0, 16, kSame},
      {"48 x64", Convert48Times64, 48, 48, false, false, 0, 64, kSame},
      {"48 rgb x16", Convert48RgbTimes16, 48, 48, false, true, 0, 16, kSame},
      {"48 rgb x64", Convert48RgbTimes64, 48, 48, false, true, 0, 64, kSame},
      {"64 x16", Convert64Times16, 64, 64, false, false, 0, 16, kOpaque},
      {"64 x64", Convert64Times64, 64, 64, false, false, 0, 64, kOpaque},
      {"64 rgb x16", Convert64RgbTimes16, 64, 64, false, true, 0, 16, kOpaque},
      {"64 rgb x64", Convert64RgbTimes64, 64, 64, false, true, 0, 64, kOpaque},
  };
  std::mt19937 rng(99);
  for (const auto& c : cases)
    for (const auto& d : kDims) {
      DibImage src = testref::RandomImage(d[0], d[1], c.srcBits, rng),
               dst = Make(d[0], d[1], c.dstBits);
      ASSERT_EQ(ApplyRegionOp(dst, c.op, src, nullptr, 0, 0, nullptr, nullptr), 1) << c.name;
      const int bytes = c.dstBits == 16 || c.dstBits >= 48 ? 2 : 1;
      const int spp = dst.BytesPerPixel() / bytes;
      for (int y = 0; y < d[1]; ++y)
        for (int x = 0; x < d[0]; ++x)
          for (int i = 0; i < spp; ++i) {
            const int sy = c.flip ? d[1] - 1 - y : y;
            ASSERT_EQ(Sample(dst, x, y, i), Expected(c, src, x, sy, i))
                << c.name << " " << x << "," << y;
          }
    }
}

TEST(DepthConversions, WrongPixelSizesAndPartialRectangles) {
  DibImage c24 = Make(5, 4, 24), g8 = Make(5, 4, 8), g16 = Make(5, 4, 16);
  EXPECT_EQ(ApplyRegionOp(g8, Convert16To8High, c24, nullptr, 0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(c24, Convert32To24, c24, nullptr, 0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(g16, CopyRowsFlip, g8, nullptr, 0, 0, nullptr, nullptr), 0);

  // A flipped copy of rows 1..2 at (2, 1): dst row 1 from src row 2.
  std::mt19937 rng(4);
  testref::FillRandom(g16, rng);
  DibImage out = Make(5, 4, 8);
  RegionRect r{0, 1, 3, 3};
  ASSERT_EQ(ApplyRegionOp(out, Convert16To8HighFlip, g16, &r, 2, 1, nullptr, nullptr), 1);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(Sample(out, x + 2, 1), Sample(g16, x, 2) >> 8);
    EXPECT_EQ(Sample(out, x + 2, 2), Sample(g16, x, 1) >> 8);
  }
  EXPECT_EQ(Sample(out, 1, 1), 0u);
  EXPECT_EQ(Sample(out, 0, 0), 0u);
}

}  // namespace
}  // namespace vexcam
