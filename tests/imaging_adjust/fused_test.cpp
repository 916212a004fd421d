// The fused adjustment passes against the stages run one by one, and the
// vector row kernels at every tail length.
#include <gtest/gtest.h>

#include <mutex>

#include "imaging/color_adjust.h"
#include "imaging/image_pipeline.h"
#include "imaging/sharpen.h"
#include "imaging/tone_adjust.h"
#include "imaging_convert/cpu_paths.h"
#include "test_image.h"

namespace vexcam {
namespace {

using namespace vexcam::test;

// Widths around the 64-sample and 64-pixel blocks of the kernels.
const Size kSizes[] = {{1, 1}, {4, 6}, {5, 5}, {21, 7}, {63, 5}, {64, 6}, {65, 5}, {130, 7}};

TEST_EVERY_CPU_PATH(MapSampleRow, EveryTailLengthAndTheFourthSampleCopied) {
  std::mt19937 rng(11);
  ToneTables tables;
  const uint16_t* t8 = tables.Chain(false, 140, 20, -30);
  const uint16_t* t16 = tables.Chain(true, 60, -10, 40);
  for (int spp : {1, 3, 4})
    for (int pixels = 1; pixels <= 150; ++pixels) {
      const size_t n = static_cast<size_t>(pixels) * spp;
      std::vector<uint8_t> src(n + 1), dst(n + 1, 0xAB), inPlace;
      for (auto& v : src) v = static_cast<uint8_t>(rng());
      inPlace = src;
      MapSampleRow8(dst.data(), src.data(), pixels, spp, t8);
      MapSampleRow8(inPlace.data(), inPlace.data(), pixels, spp, t8);
      for (size_t i = 0; i < n; ++i) {
        const uint8_t want = spp == 4 && i % 4 == 3 ? src[i] : static_cast<uint8_t>(t8[src[i]]);
        ASSERT_EQ(dst[i], want) << "spp " << spp << " pixels " << pixels << " i " << i;
        ASSERT_EQ(inPlace[i], want);
      }
      ASSERT_EQ(dst[n], 0xAB) << "wrote past the row";
      ASSERT_EQ(inPlace[n], src[n]);

      std::vector<uint16_t> s16(n), d16(n);
      for (auto& v : s16) v = static_cast<uint16_t>(rng());
      MapSampleRow16(d16.data(), s16.data(), pixels, spp, t16);
      for (size_t i = 0; i < n; ++i)
        ASSERT_EQ(d16[i], spp == 4 && i % 4 == 3 ? s16[i] : t16[s16[i]]);
    }
}

TEST(ToneChain, EqualsTheStagesInOrderAndSkipsNeutralOnes) {
  std::mt19937 rng(12);
  ToneTables chain, single;
  const int settings[][3] = {{100, 0, 0},    {100, 0, 7},    {150, 0, 0}, {100, -127, 0},
                             {0, 127, -255}, {200, 20, 255}, {37, -5, -1}};
  for (int bits : kAllBits)
    for (const auto& st : settings) {
      DibImage img = RandomImage(67, 3, bits, rng), ref = Copy(img);
      const bool wide = Wide(img);
      ApplySampleTable(img, chain.Chain(wide, st[0], st[1], st[2]));
      if (st[0] != 100) ApplyGamma(ref, st[0], single);
      if (st[1] != 0) ApplyContrast(ref, st[1], single);
      if (st[2] != 0) ApplyBrightness(ref, st[2], single);
      ASSERT_TRUE(SameBytes(img, ref)) << bits << " " << st[0] << " " << st[1] << " " << st[2];
    }
}

TEST_EVERY_CPU_PATH(FusedPasses, SharpnessWithToneStagesEqualsThreePasses) {
  std::mt19937 rng(15);
  ToneTables tables;
  SharpenCache cache;
  DibImage copy, refCopy;
  for (int bits : kAllBits)
    for (const Size& sz : kSizes)
      for (bool pre : {false, true})
        for (int bright : {0, -60, 200})
          for (int sharp : {0, 3, 30}) {
            DibImage img = RandomImage(sz.w, sz.h, bits, rng), ref = Copy(img);
            const uint16_t* t = pre ? tables.Chain(Wide(img), 70, 15, 0) : nullptr;
            ASSERT_EQ(ApplySharpnessFused(img, sharp, copy, cache, t, bright, tables), 1u);
            if (t) ApplySampleTable(ref, t);
            ApplySharpness(ref, sharp, refCopy, cache);
            if (bright) ApplyBrightness(ref, bright, tables);
            ASSERT_TRUE(SameBytes(img, ref)) << bits << " " << sz.w << "x" << sz.h << " pre " << pre
                                             << " b " << bright << " s " << sharp;
          }
}

// Bands on several threads overwrite their rows in place while their
// neighbours read the rows at the band edges: a stale copy row (here a copy
// full of garbage from before) would show.
TEST_EVERY_CPU_PATH(FusedPasses, SharpnessSplitOverThreadsEqualsOneThread) {
  std::mt19937 rng(17);
  ToneTables tables;
  SharpenCache cache;
  RowWorkers workers;
  ASSERT_EQ(workers.Start(3), 3);
  for (int bits : {24, 48})
    for (int round = 0; round < 4; ++round) {
      DibImage img = RandomImage(67, 150, bits, rng), ref = Copy(img);
      DibImage copy = RandomImage(67, 150, bits, rng), refCopy;
      const uint16_t* t = round & 1 ? tables.Chain(Wide(img), 70, 15, 0) : nullptr;
      const int bright = round & 2 ? -60 : 0;
      ASSERT_EQ(ApplySharpnessFused(img, 9, copy, cache, t, bright, tables, &workers), 1u);
      ASSERT_EQ(ApplySharpnessFused(ref, 9, refCopy, cache, t, bright, tables), 1u);
      ASSERT_TRUE(SameBytes(img, ref)) << bits << " round " << round;
    }
}

// Every subset of the five adjustments (none too) through ProcessFrame on three threads,
// in every colour mode, against one thread without adjustments followed by
// the stages one by one. Both measure white balance (on the whole frame,
// before the split) and Mono 8 takes the luma of the demosaic.
TEST_EVERY_CPU_PATH(FusedPasses, PipelineMatchesTheStagesOneByOne) {
  std::mt19937 rng(16);
  DefectState defects;
  ASSERT_TRUE(defects.Init());
  std::mutex lock;
  const CaptureGeometry geometry;
  for (int mode = 0; mode <= 5; ++mode)
    for (int mask = 0; mask < 32; ++mask) {
      ImageSettings plain;
      plain.colorMode = mode;
      plain.bayerGainAuto = 1;
      plain.grayMode = mode == 0 ? 2 : 0;
      ImageSettings s = plain;
      if (mask & 1) {
        s.hue = -75;
        s.saturation = 120;
      }
      if (mask & 2) s.gamma = 45;
      if (mask & 4) s.contrast = -33;
      if (mask & 8) s.sharpness = 12;
      if (mask & 16) s.brightness = 70;

      ImagePipeline fused, stepwise;
      fused.SetThreadCount(3);
      ASSERT_TRUE(fused.Configure(69, 16, mode));
      ASSERT_TRUE(stepwise.Configure(69, 16, mode));
      ASSERT_EQ(fused.ThreadCount(), 3);
      const DibImage raw = RandomImage(69, 16, fused.RawFor(mode).BitCount(), rng);
      fused.RawFor(mode).CopyFrom(raw);
      stepwise.RawFor(mode).CopyFrom(raw);
      ASSERT_EQ(fused.ProcessFrame(s, defects, lock, nullptr, geometry), 1u);
      ASSERT_EQ(stepwise.ProcessFrame(plain, defects, lock, nullptr, geometry), 1u);

      DibImage& ref = stepwise.ImageFor(mode);
      ToneTables tables;
      HueSatCache hue;
      SharpenCache sharp;
      DibImage copy;
      if (mode >= 2 && (mask & 1)) ApplyHueSaturation(ref, s.hue, s.saturation, hue);
      if (mask & 2) ApplyGamma(ref, s.gamma, tables);
      if (mask & 4) ApplyContrast(ref, s.contrast, tables);
      if (mask & 8) ApplySharpness(ref, s.sharpness, copy, sharp);
      if (mask & 16) ApplyBrightness(ref, s.brightness, tables);
      ASSERT_TRUE(SameBytes(fused.ImageFor(mode), ref)) << "mode " << mode << " stages " << mask;
    }
}

}  // namespace
}  // namespace vexcam
