#include <gtest/gtest.h>

#include "convert_reference.h"
#include "imaging/demosaic.h"
#include "imaging_convert/cpu_paths.h"

namespace vexcam {
namespace {

using testref::Make;
using testref::Size;
// From 36 (8-bit) and 20 (16-bit) columns up the colour paths run in blocks with
// per-pixel edges; the widths cover one block, odd tails, overlaps and a long
// run of the widest blocks.
const Size kSizes[] = {{1, 1},  {2, 2},  {3, 5},  {4, 4},  {5, 4},   {4, 5},   {5, 5},  {6, 7},
                       {7, 6},  {9, 9},  {19, 4}, {20, 5}, {21, 4},  {33, 17}, {35, 4}, {36, 5},
                       {37, 4}, {38, 6}, {67, 7}, {70, 9}, {101, 4}, {130, 6}, {641, 5}};

TEST_EVERY_CPU_PATH(Demosaic, MatchesReferenceForEveryModeSizeDepthAndGain) {
  std::mt19937 rng(7);
  // Gains outside 0..400 are clamped; at 400/400 the raw image is saturated,
  // which gives the largest sums.
  const int gains[][2] = {{100, 100}, {0, 400},  {400, 0},  {1, 399},
                          {57, 233},  {128, 77}, {-5, 999}, {400, 400}};
  Demosaicer demosaicer;
  for (int rawBits : {8, 16}) {
    for (int outBits : rawBits == 8 ? std::vector<int>{24, 32} : std::vector<int>{48, 64}) {
      for (const Size& s : kSizes) {
        for (int mode = 0; mode < 4; ++mode) {
          for (const auto& g : gains) {
            DibImage raw = testref::RandomImage(s.w, s.h, rawBits, rng);
            if (g[0] == 400 && g[1] == 400) std::memset(raw.Pixels(), 0xFF, raw.SizeBytes());
            DibImage out = testref::RandomImage(s.w, s.h, outBits, rng),
                     expect = testref::Copy(out);
            testref::ReferenceDemosaic(expect, raw, mode, g[0], g[1]);
            const bool ran = demosaicer.Run(out, raw, mode, g[0], g[1]);
            EXPECT_EQ(ran, s.w >= 4 && s.h >= 4);
            ASSERT_TRUE(testref::SameBytes(out, expect))
                << rawBits << "->" << outBits << " " << s.w << "x" << s.h << " mode " << mode
                << " gains " << g[0] << "/" << g[1];
          }
        }
      }
    }
  }
}

TEST(Demosaic, RefusesMismatchedImages) {
  Demosaicer demosaicer;
  DibImage raw8 = Make(8, 8, 8), raw16 = Make(8, 8, 16);
  DibImage c24 = Make(8, 8, 24), c48 = Make(8, 8, 48), small = Make(7, 8, 24), empty;
  EXPECT_FALSE(demosaicer.Run(c48, raw8, 0, 100, 100));
  EXPECT_FALSE(demosaicer.Run(c24, raw16, 0, 100, 100));
  EXPECT_FALSE(demosaicer.Run(small, raw8, 0, 100, 100));
  EXPECT_FALSE(demosaicer.Run(c24, empty, 0, 100, 100));
  EXPECT_FALSE(demosaicer.Run(raw8, raw8, 0, 100, 100));
}

// Raw image whose phases (by mode) hold fixed values.
DibImage PhaseImage(int w, int h, int bits, int mode, uint32_t green, uint32_t red, uint32_t blue) {
  DibImage raw = Make(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int c = testref::BayerColor(x, y, mode);
      testref::SetSample(raw, x, y, 0, c == 0 ? green : (c == 1 ? blue : red));
    }
  return raw;
}

// Gains from the phase means, starting from red 123, green 100, blue 77.
TEST(AutoWhiteBalance, GainsFromPhaseMeansAndZeroPhases) {
  const struct {
    int w, h, bits, modes;
    uint32_t green, red, blue;
    WhiteBalanceGains want;
  } cases[] = {
      {7, 5, 8, 4, 200, 100, 100, {200, 100, 200}},
      {6, 6, 16, 4, 30000, 60000, 3000, {50, 100, 400}},  // blue 1000 capped
      {8, 8, 8, 1, 90, 0, 45, {400, 100, 200}},           // red black under lit green: the cap
      {8, 8, 8, 1, 0, 0, 0, {123, 100, 77}},              // black frame: unchanged
      {1, 1, 8, 1, 50, 0, 0, {400, 100, 400}},            // green only: red and blue empty
  };
  for (const auto& c : cases)
    for (int mode = 0; mode < c.modes; ++mode) {
      SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " mode " << mode);
      WhiteBalanceGains g{123, 100, 77};
      ASSERT_TRUE(
          MeasureWhiteBalance(PhaseImage(c.w, c.h, c.bits, mode, c.green, c.red, c.blue), mode, g));
      EXPECT_EQ(g.red, c.want.red);
      EXPECT_EQ(g.green, c.want.green);
      EXPECT_EQ(g.blue, c.want.blue);
    }
  WhiteBalanceGains g;
  EXPECT_FALSE(MeasureWhiteBalance(Make(4, 4, 24), 0, g));
}

TEST(AutoWhiteBalance, OneShotClearsSwitchContinuousKeepsIt) {
  DibImage raw = PhaseImage(8, 8, 8, 2, 100, 50, 25);
  ImageSettings s;
  s.bayerMode = 2;
  EXPECT_FALSE(AutoWhiteBalance(raw, s));
  EXPECT_EQ(s.bayerGainRed, 100);

  s.bayerGainAuto = 1;
  s.bayerGainGreen = 300;
  ASSERT_TRUE(AutoWhiteBalance(raw, s));
  EXPECT_EQ(s.bayerGainRed, 200);
  EXPECT_EQ(s.bayerGainBlue, 400);
  EXPECT_EQ(s.bayerGainGreen, 100);
  EXPECT_EQ(s.bayerGainAuto, 1);

  s.bayerGainAutoOnce1 = 1;  // one flag alone is not a one-shot request
  ASSERT_TRUE(AutoWhiteBalance(raw, s));
  EXPECT_EQ(s.bayerGainAuto, 1);
  s.bayerGainAutoOnce2 = 1;
  ASSERT_TRUE(AutoWhiteBalance(raw, s));
  EXPECT_EQ(s.bayerGainAuto, 0);
  EXPECT_EQ(s.bayerGainAutoOnce1, 0);
  EXPECT_EQ(s.bayerGainAutoOnce2, 0);
  EXPECT_FALSE(AutoWhiteBalance(raw, s));
}

TEST(GrayFromColor, LumaWeightsAndReference) {
  std::mt19937 rng(11);
  for (int bits : {24, 32})
    for (const Size& s : kSizes) {
      DibImage c = testref::RandomImage(s.w, s.h, bits, rng), g = Make(s.w, s.h, 8);
      ASSERT_TRUE(GrayFromColor(g, c));
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
          ASSERT_EQ(g.Row(y)[x],
                    testref::Luma(testref::Sample(c, x, y, 0), testref::Sample(c, x, y, 1),
                                  testref::Sample(c, x, y, 2)));
    }
  DibImage wrong = Make(3, 1, 16), color = Make(3, 1, 24);
  EXPECT_FALSE(GrayFromColor(wrong, color));
}

}  // namespace
}  // namespace vexcam
