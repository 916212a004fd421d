// Frames of three samples per pixel (the video converter): colour order,
// luma weights, 16-bit byte order, sub-sampling, mirrors, and the pipeline
// taking them instead of the Bayer steps.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "convert_reference.h"
#include "imaging/image_pipeline.h"
#include "imaging/plane_frame.h"

namespace vexcam {
namespace {

// A frame of random samples, little-endian when two bytes wide.
struct Frame {
  Frame(int w, int h, int sampleBytes, uint32_t seed) : bytes(size_t(w) * h * 3 * sampleBytes) {
    std::mt19937 rng(seed);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    view = PlaneFrameView{bytes.data(), w, h, sampleBytes};
  }
  // Sample c (0 red, 1 green, 2 blue) of pixel (x, y).
  uint32_t At(int x, int y, int c) const {
    const size_t i = (size_t(y) * view.width + x) * 3 + c;
    return view.sampleBytes == 1 ? bytes[i] : bytes[2 * i] | bytes[2 * i + 1] << 8;
  }
  uint32_t Luma(int x, int y) const { return testref::Luma(At(x, y, 2), At(x, y, 1), At(x, y, 0)); }
  std::vector<uint8_t> bytes;
  PlaneFrameView view;
};

using testref::Sample;

TEST(PlaneFrame, ColourGoesToBlueGreenRedAndGrayIsTheLuma) {
  for (int sampleBytes : {1, 2}) {
    SCOPED_TRACE(sampleBytes);
    const Frame f(7, 5, sampleBytes, 11u + sampleBytes);
    const int grayBits = sampleBytes == 1 ? 8 : 16;
    DibImage gray = testref::Make(7, 5, grayBits);
    ASSERT_TRUE(PlanesToGray(gray, f.view, 1, nullptr));
    for (int bits : sampleBytes == 1 ? std::vector<int>{24, 32} : std::vector<int>{48, 64}) {
      DibImage color = testref::Make(7, 5, bits);
      ASSERT_TRUE(PlanesToColor(color, f.view, 1, false, false, nullptr));
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
          ASSERT_EQ(Sample(color, x, y, 0), f.At(x, y, 2)) << bits << " " << x << "," << y;
          ASSERT_EQ(Sample(color, x, y, 1), f.At(x, y, 1));
          ASSERT_EQ(Sample(color, x, y, 2), f.At(x, y, 0));
          if (bits == 32 || bits == 64) {
            ASSERT_EQ(Sample(color, x, y, 3), 0u);
          }
          ASSERT_EQ(Sample(gray, x, y, 0), f.Luma(x, y));
        }
    }
  }
}

TEST(PlaneFrame, StepAndMirrorsPickTheirPixels) {
  const Frame f(10, 6, 1, 5);
  DibImage color = testref::Make(5, 3, 24);
  for (int m = 0; m < 4; ++m) {
    const bool mh = m & 1, mv = m & 2;
    ASSERT_TRUE(PlanesToColor(color, f.view, 2, mh, mv, nullptr));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) {
        const int sx = (mh ? 4 - x : x) * 2, sy = (mv ? 2 - y : y) * 2;
        ASSERT_EQ(Sample(color, x, y, 2), f.At(sx, sy, 0)) << m << " " << x << "," << y;
      }
  }
  DibImage gray = testref::Make(5, 3, 8);
  ASSERT_TRUE(PlanesToGray(gray, f.view, 2, nullptr));
  EXPECT_EQ(Sample(gray, 4, 2, 0), f.Luma(8, 4));
}

TEST(PlaneFrame, RefusesOtherDepthsAndFramesTooSmall) {
  const Frame narrow(4, 4, 1, 1), wide(4, 4, 2, 2);
  DibImage c24 = testref::Make(4, 4, 24), c48 = testref::Make(4, 4, 48),
           g8 = testref::Make(4, 4, 8);
  EXPECT_FALSE(PlanesToColor(c24, wide.view, 1, false, false, nullptr));
  EXPECT_FALSE(PlanesToColor(c48, narrow.view, 1, false, false, nullptr));
  EXPECT_FALSE(PlanesToGray(g8, wide.view, 1, nullptr));
  EXPECT_FALSE(PlanesToColor(c24, narrow.view, 2, false, false, nullptr));  // needs 8 x 8
  EXPECT_FALSE(PlanesToGray(g8, PlaneFrameView{nullptr, 4, 4, 1}, 1, nullptr));
  EXPECT_FALSE(PlanesToGray(g8, narrow.view, 0, nullptr));
}

// In the pipeline the plane frame replaces the raw frame: the colour modes
// take its samples (mirrored, hardware axes skipped) past the raw filters,
// the mono modes its luma, and the result does not depend on the threads.
TEST(PlaneFramePipeline, ReplacesTheBayerSteps) {
  DefectState defects;
  ASSERT_TRUE(defects.Init());
  std::mutex lock;
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    ImagePipeline pipeline;
    pipeline.SetThreadCount(threads);
    ASSERT_TRUE(pipeline.Configure(16, 12, 2));
    ASSERT_TRUE(pipeline.ConfigurePlanes(16, 12, 1));
    const Frame f(16, 12, 1, 9);
    std::copy(f.bytes.begin(), f.bytes.end(), pipeline.PlaneFrame());
    ImageSettings settings;
    settings.colorMode = 2;
    settings.dotFilter = 1;
    CaptureGeometry geometry;
    geometry.mirrorH = geometry.mirrorV = true;
    geometry.hwMirrorV = true;
    ASSERT_EQ(pipeline.ProcessFrame(settings, defects, lock, nullptr, geometry), 1u);
    const DibImage& color = pipeline.ImageFor(2);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) ASSERT_EQ(Sample(color, x, y, 1), f.At(15 - x, y, 1));
    }

    settings.colorMode = 0;
    settings.dotFilter = 0;
    settings.grayMode = 2;  // no colour to take the luma of: the raw image is it
    ASSERT_TRUE(pipeline.Configure(16, 12, 0));
    geometry = CaptureGeometry{};
    ASSERT_EQ(pipeline.ProcessFrame(settings, defects, lock, nullptr, geometry), 1u);
    const DibImage& gray = pipeline.ImageFor(0);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) ASSERT_EQ(Sample(gray, x, y, 0), f.Luma(x, y));
    }
    pipeline.DisablePlanes();
    EXPECT_FALSE(pipeline.HasPlanes());
  }
}

}  // namespace
}  // namespace vexcam
