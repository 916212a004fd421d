// Image adjustments compared bit for bit with plain per-pixel references
// written straight from the formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "imaging/color_adjust.h"
#include "imaging/gray_adjust.h"
#include "imaging/sharpen.h"
#include "imaging/tone_adjust.h"
#include "imaging_convert/cpu_paths.h"
#include "test_image.h"

namespace vexcam {
namespace {

using namespace vexcam::test;

const int kColorBits[] = {24, 32, 48, 64};

// Applies f(value) to the first three samples of every pixel.
template <typename F>
void RefMap(DibImage& img, F f) {
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x)
      for (int k = 0; k < std::min(3, Spp(img)); ++k) Set(img, x, y, k, f(Get(img, x, y, k)));
}

int32_t RefGamma(int32_t i, int32_t max, int gamma) {
  if (i == 0) return 0;
  if (gamma == 0) return i == max ? max : 0;
  return std::min<int32_t>(
      max, static_cast<int32_t>(std::trunc(max * std::pow(double(i) / max, 100.0 / gamma))));
}

int32_t RefContrast(int32_t i, int32_t max, int contrast) {
  const bool wide = max == 65535;
  const int c = wide ? contrast * 256 : contrast;
  const int half = wide ? 32768 : 128;
  if (i < c) return 0;
  if (i > max - c) return max;
  return static_cast<int32_t>(std::trunc((max + 1.0) / ((half - c) * 2.0) * (i - c)));
}

int32_t RefBrightness(int32_t s, int32_t max, int b) {
  const float f = static_cast<float>(b > 0 ? 1 + b * 0.0392156862745098
                                           : 1 - std::abs(b) * 0.00392156862745098);
  return std::min<int32_t>(max, static_cast<int32_t>(static_cast<float>(s) * f));
}

void RefSharpen(DibImage& img, int sharpness) {
  const DibImage copy = Copy(img);
  const int32_t max = MaxOf(img);
  for (int y = 2; y <= img.Height() - 3; ++y)
    for (int x = 2; x <= img.Width() - 3; ++x)
      for (int k = 0; k < 3 && k < Spp(img); ++k) {
        int sum = 0;
        for (int yy = y - 2; yy <= y + 1; ++yy)
          for (int xx = x - 2; xx <= x + 1; ++xx) sum += Get(copy, xx, yy, k);
        const int orig = Get(copy, x, y, k);
        const int d = orig - (sum >> 4);
        Set(img, x, y, k, std::clamp(orig + d * sharpness / 10, 0, max));
      }
}

// The value stages (table and direct brightness alike) and sharpening against
// their references; the neutral settings must leave the image as it was.
TEST_EVERY_CPU_PATH(ToneAdjust, MatchesReferenceForEveryLayoutAndSetting) {
  std::mt19937 rng(1);
  ToneTables tables;
  SharpenCache cache;
  DibImage copy;
  using Ref = int32_t (*)(int32_t, int32_t, int);
  auto tone = [](Ref ref) {
    return [ref](DibImage& img, int s) {
      RefMap(img, [&](int32_t v) { return ref(v, MaxOf(img), s); });
    };
  };
  const std::vector<int> gamma = {0, 1, 50, 100, 199, 200}, contrast = {-127, -1, 0, 1, 64, 127},
                         brightness = {-255, -100, -1, 0, 1, 100, 255}, sharpness = {0, 1, 10, 30};
  const struct {
    const char* name;
    std::function<void(DibImage&, int)> apply, ref;
    const std::vector<int>& settings;
  } stages[] = {
      {"gamma", [&](DibImage& i, int s) { ApplyGamma(i, s, tables); }, tone(RefGamma), gamma},
      {"contrast", [&](DibImage& i, int s) { ApplyContrast(i, s, tables); }, tone(RefContrast),
       contrast},
      {"brightness", [&](DibImage& i, int s) { ApplyBrightness(i, s, tables); },
       tone(RefBrightness), brightness},
      {"direct brightness", ApplyBrightnessDirect, tone(RefBrightness), brightness},
      {"sharpness", [&](DibImage& i, int s) { EXPECT_EQ(ApplySharpness(i, s, copy, cache), 1u); },
       RefSharpen, sharpness},
  };
  for (const auto& stage : stages)
    for (int bits : kAllBits)
      for (const Size& sz : kTestSizes)
        for (int setting : stage.settings) {
          DibImage img = RandomImage(sz.w, sz.h, bits, rng), ref = Copy(img);
          stage.apply(img, setting);
          stage.ref(ref, setting);
          ASSERT_TRUE(SameBytes(img, ref))
              << stage.name << " " << setting << " bits " << bits << " " << sz.w << "x" << sz.h;
        }
}

// ---- gray gain and offset -------------------------------------------------

int RefPhase(int bayerMode, int x, int y) {
  static const int c0[] = {0, 0, 1, 1}, r0[] = {0, 1, 0, 1};
  return ((x + c0[bayerMode]) % 2) + 2 * ((y + r0[bayerMode]) % 2);
}

// Unity gains with the stored default offsets (128) are skipped; any other
// offset, on one phase alone too, applies.
TEST_EVERY_CPU_PATH(GrayAdjust, GainOffsetMatchesReferenceInEveryBayerMode) {
  std::mt19937 rng(2);
  const int32_t gainSets[][4] = {
      {0, 255, 128, 7}, {255, 255, 255, 255}, {128, 128, 128, 200}, {128, 128, 128, 128}};
  const int32_t offsetSets[][4] = {{-255, 255, 0, 3},
                                   {128, 128, 128, 0},
                                   {0, 0, 0, 0},
                                   {128, 128, 10, 128},
                                   {128, 128, 128, 128}};
  for (int bits : {8, 16})
    for (int depth : {10, 16})
      for (int mode = 0; mode < 4; ++mode)
        for (const auto& gains : gainSets)
          for (const auto& offsets : offsetSets)
            for (const Size& sz : kTestSizes) {
              DibImage img = RandomImage(sz.w, sz.h, bits, rng), ref = Copy(img);
              const int32_t max = bits == 8 ? 255 : (depth == 10 ? 1023 : 65535);
              ApplyGrayGainOffset(img, mode, gains, offsets, depth);
              const bool stored =
                  std::all_of(gains, gains + 4, [](int32_t g) { return g == 128; }) &&
                  std::all_of(offsets, offsets + 4, [](int32_t o) { return o == 128; });
              for (int y = 0; y < sz.h && !stored; ++y)
                for (int x = 0; x < sz.w; ++x) {
                  const int p = RefPhase(mode, x, y);
                  Set(ref, x, y, 0,
                      std::clamp(Get(ref, x, y) * gains[p] / 128 + offsets[p], 0, max));
                }
              ASSERT_TRUE(SameBytes(img, ref)) << bits << " mode " << mode;
            }
}

// Small frames of extreme samples leave phases empty, the first one too, and
// then gains unchanged.
TEST(GrayAdjust, AutoGainMatchesReferenceAndHandlesEmptyPhases) {
  std::mt19937 rng(4);
  for (int bits : {8, 16})
    for (int mode = 0; mode < 4; ++mode)
      for (const Size& sz : kTestSizes) {
        DibImage img = ExtremeImage(sz.w, sz.h, bits, rng);
        const int32_t max = bits == 8 ? 255 : 65535;
        double sum[4] = {0, 0, 0, 0};
        int count[4] = {0, 0, 0, 0};
        for (int y = 0; y < sz.h; ++y)
          for (int x = 0; x < sz.w; ++x) {
            const int32_t v = Get(img, x, y);
            if (v <= 0 || v >= max) continue;
            sum[RefPhase(mode, x, y)] += v;
            ++count[RefPhase(mode, x, y)];
          }
        int32_t expected[4] = {11, 22, 33, 44};
        if (count[0]) {
          expected[0] = 128;
          const float m0 = float(sum[0]) / float(count[0]);
          for (int p = 1; p < 4; ++p)
            if (count[p])
              expected[p] =
                  std::min<int32_t>(255, int32_t(m0 / (float(sum[p]) / float(count[p])) * 128.0f));
        }
        int32_t gains[4] = {11, 22, 33, 44};
        EXPECT_EQ(MeasureAutoGrayGain(img, mode, gains), 1u);
        for (int p = 0; p < 4; ++p)
          ASSERT_EQ(gains[p], expected[p]) << sz.w << "x" << sz.h << " phase " << p;
      }
}

// ---- hue and saturation -----------------------------------------------------

// The reference, written apart from the kernel: packed 32-bit word, lookup tables, sector table.
void RefHueSat(DibImage& img, int hue, int sat) {
  const int q = hue * 65536 / 360;
  const int u = q & 0xFFFF;
  const int p = (u * 6) >> 8;
  int fine = p % 512;
  if (fine >= 256) fine -= 512;
  const int coarse = ((p + 256) >> 9) % 3;
  int o = coarse * 510 + fine;
  while (o < 0) o += 1530;
  while (o >= 1530) o -= 1530;
  const int k = o / 255, r = o - 255 * k;
  static const uint32_t mask[12] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                    0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
  static const int32_t mult[12] = {-1, 0x100, -0x10000, 1, -0x100, 0x10000,
                                   -1, 0x100, -0x10000, 1, -0x100, 0x10000};
  const int shift = Wide(img) ? 8 : 0;
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x) {
      const int B = Get(img, x, y, 0) >> shift, G = Get(img, x, y, 1) >> shift,
                R = Get(img, x, y, 2) >> shift;
      int mx = R, mid = G, base = 1, t = G - B;
      if (R < G) {
        mx = G;
        mid = R;
        base = 3;
        t = B - R;
      }
      if (B > mx) {
        mx = B;
        base = 5;
        t = R - G;
      }
      const int mn = std::min(B, mid), delta = mx - mn;
      if (t < 0) {
        base -= 1;
        t += delta;
      }
      const int l2 = mx + mn;
      const int chroma = (delta * (sat + 256) * 256 + 32768) >> 16;
      const int cap = l2 < 256 ? l2 : 511 - l2;
      const int c = std::min(chroma, cap);
      const int newmin = (l2 - c) >> 1, newdelta = ((c + l2) >> 1) - newmin;
      uint32_t out = uint32_t(newmin) * 0x010101u;
      if (delta != 0) {
        int pos = ((0xFF0000 / delta * t + 32768) >> 16) + r, sector = base + k;
        if (pos >= 255) {
          pos -= 255;
          sector += 1;
        }
        out = out + ((uint32_t(newdelta) * 0x010101u) & mask[sector]) +
              uint32_t(((newdelta * pos + 128) >> 8) * mult[sector]);
      }
      Set(img, x, y, 0, int32_t(out & 0xFF) << shift);
      Set(img, x, y, 1, int32_t((out >> 8) & 0xFF) << shift);
      Set(img, x, y, 2, int32_t((out >> 16) & 0xFF) << shift);
      if (Spp(img) == 4) Set(img, x, y, 3, 0);
    }
}

TEST_EVERY_CPU_PATH(HueSaturation, MatchesReferenceForEveryLayoutAndSetting) {
  std::mt19937 rng(5);
  HueSatCache cache;
  for (int bits : kColorBits)
    for (const Size& sz : kTestSizes)
      for (int hue : {-360, -181, -1, 0, 1, 59, 120, 300, 360})
        for (int sat : {-255, -37, 0, 100, 255}) {
          DibImage img = (hue + sat) % 2 ? RandomImage(sz.w, sz.h, bits, rng)
                                         : ExtremeImage(sz.w, sz.h, bits, rng);
          DibImage ref = Copy(img);
          ApplyHueSaturation(img, hue, sat, cache);
          RefHueSat(ref, hue, sat);
          ASSERT_TRUE(SameBytes(img, ref))
              << bits << " " << sz.w << "x" << sz.h << " hue " << hue << " sat " << sat;
        }
  // What the reference means: pure red turned by 120 degrees is green.
  DibImage red = Flat(24, 0, 1, 1);
  Set(red, 0, 0, 2, 255);
  ApplyHueSaturation(red, 120, 0, cache);
  EXPECT_EQ(Get(red, 0, 0, 0), 0);
  EXPECT_EQ(Get(red, 0, 0, 1), 255);
  EXPECT_EQ(Get(red, 0, 0, 2), 2);
}

}  // namespace
}  // namespace vexcam
