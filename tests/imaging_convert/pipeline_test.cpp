#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "convert_reference.h"
#include "cpu_paths.h"
#include "fake_iris_camera.h"
#include "imaging/demosaic.h"
#include "imaging/gray_adjust.h"
#include "imaging/image_pipeline.h"
#include "imaging/mirror.h"

namespace vexcam {
namespace {

using testref::Make;

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(defects.Init()); }

  // Configures mode, fills its raw image randomly and returns a copy of it.
  DibImage Prepare(int w, int h, int mode, uint32_t seed = 1) {
    settings.colorMode = mode;
    EXPECT_TRUE(pipeline.Configure(w, h, mode));
    std::mt19937 rng(seed);
    DibImage& raw = pipeline.RawFor(mode);
    testref::FillRandom(raw, rng);
    return testref::Copy(raw);
  }

  uint32_t Run(FrameReport* report = nullptr) {
    return pipeline.ProcessFrame(settings, defects, lock, camera, geometry, report);
  }

  ImagePipeline pipeline;
  ImageSettings settings;
  DefectState defects;
  std::mutex lock;
  CaptureGeometry geometry;
  IAutoIrisCamera* camera = nullptr;
};

// Without adjustments the mono modes are their raw image and the colour
// modes its plain demosaic; the raw image stays as it was. Gray mode 2 makes
// Mono 8 the luma of the demosaic, and cannot change a 16-bit image.
TEST_F(PipelineTest, ModesWithoutAdjustmentsAreTheRawImageOrItsPlainDemosaic) {
  const int bits[] = {8, 16, 24, 32, 48, 64};
  test::ForEachCpuPath([&] {
    for (int mode = 0; mode <= 5; ++mode)
      for (int bayer = 0; bayer < 4; ++bayer) {
        settings.bayerMode = bayer;
        settings.bayerGainRed = 150;
        settings.bayerGainBlue = 60;
        settings.bayerGainGreen = 400;  // the demosaic has no green gain
        settings.grayMode = mode <= 1 ? 2 : 0;
        DibImage raw = Prepare(13, 9, mode, static_cast<uint32_t>(mode * 4 + bayer));
        ASSERT_EQ(Run(), 1u);
        DibImage expect = Make(13, 9, bits[mode]), color = Make(13, 9, 24);
        if (mode <= 1) expect.CopyFrom(raw);  // keeps the row padding, which the luma never writes
        if (mode >= 2) testref::ReferenceDemosaic(expect, raw, bayer, 150, 60);
        if (mode == 0) {
          testref::ReferenceDemosaic(color, raw, bayer, 150, 60);
          ASSERT_TRUE(GrayFromColor(expect, color));
        }
        ASSERT_TRUE(testref::SameBytes(pipeline.ImageFor(mode), expect)) << mode << " " << bayer;
        if (mode > 0) {
          EXPECT_TRUE(testref::SameBytes(pipeline.RawFor(mode), raw));
        }
        EXPECT_EQ(&pipeline.ImageFor(mode) == &pipeline.RawFor(mode), mode <= 1);
      }
  });
}

// Gray mode 1 on both mono modes: an auto request measures the gains first
// (counting down, or on every frame for -1), then gain and offset apply.
TEST_F(PipelineTest, GrayModeOneMeasuresOnRequestThenAppliesGainAndOffset) {
  settings.grayMode = 1;
  settings.bayerMode = 1;
  for (int mode = 0; mode <= 1; ++mode) {
    SCOPED_TRACE(mode);
    const int32_t gain[4] = {200, 128, 90, 128}, offset[4] = {128, 140, 128, 100};
    std::copy(std::begin(gain), std::end(gain), settings.grayGain);
    std::copy(std::begin(offset), std::end(offset), settings.grayOffset);
    settings.grayAutoRequest = 0;
    DibImage expect = Prepare(12, 6, mode);
    FrameReport report;
    ASSERT_EQ(Run(&report), 1u);
    ApplyGrayGainOffset(expect, 1, gain, offset);
    EXPECT_TRUE(testref::SameBytes(pipeline.RawFor(mode), expect));
    EXPECT_FALSE(report.grayGainMeasured);

    for (int32_t request : {2, -1}) {
      settings.grayAutoRequest = request;
      expect = Prepare(12, 6, mode, 7);
      int32_t measured[4];
      std::copy(std::begin(gain), std::end(gain), measured);
      ASSERT_EQ(MeasureAutoGrayGain(expect, 1, measured), 1u);
      ApplyGrayGainOffset(expect, 1, measured, offset);
      ASSERT_EQ(Run(&report), 1u);
      EXPECT_TRUE(report.grayGainMeasured);
      EXPECT_EQ(settings.grayAutoRequest, request > 0 ? request - 1 : request);
      EXPECT_TRUE(std::equal(std::begin(measured), std::end(measured), settings.grayGain));
      EXPECT_TRUE(testref::SameBytes(pipeline.RawFor(mode), expect));
    }
  }
}

TEST_F(PipelineTest, MirrorRunsBeforeDemosaicAndSkipsHardwareAxes) {
  geometry.mirrorH = true;
  geometry.mirrorV = true;
  DibImage raw = Prepare(10, 8, 4);
  DibImage mirrored = testref::Copy(raw), scratch;
  SoftwareMirror(mirrored, scratch, true, true, {});
  ASSERT_EQ(Run(), 1u);
  DibImage expect = Make(10, 8, 48);
  testref::ReferenceDemosaic(expect, mirrored, 0, 100, 100);
  EXPECT_TRUE(testref::SameBytes(pipeline.ImageFor(4), expect));

  geometry.hwMirrorH = true;
  geometry.hwMirrorV = true;
  raw = Prepare(10, 8, 0);
  ASSERT_EQ(Run(), 1u);
  EXPECT_TRUE(testref::SameBytes(pipeline.Raw8(), raw));
}

TEST(RowWorkers, BandsCoverEveryRowOnceAndThreadsFollowTheRequest) {
  RowWorkers workers;
  EXPECT_EQ(workers.Parts(), 1);
  EXPECT_EQ(workers.Start(4), 4);
  EXPECT_EQ(workers.Start(40), RowWorkers::kMaxParts);
  EXPECT_EQ(workers.Start(3), 3);
  for (int rows : {0, 1, 2, 3, 7, 1000}) {
    std::vector<std::atomic<int>> hits(static_cast<size_t>(rows));
    std::atomic<int> calls{0};
    // Callers keep scratch per part: the calls of one part must never overlap.
    std::atomic<int> busy[3] = {0, 0, 0};
    workers.ForEachBand(rows, [&](int part, int y0, int y1) {
      ASSERT_GE(part, 0);
      ASSERT_LT(part, 3);
      EXPECT_EQ(busy[part].fetch_add(1), 0);
      if (rows > 0) {
        EXPECT_LT(y0, y1);
      }
      for (int y = y0; y < y1; ++y) hits[static_cast<size_t>(y)]++;
      calls++;
      busy[part].fetch_sub(1);
    });
    for (int y = 0; y < rows; ++y)
      EXPECT_EQ(hits[static_cast<size_t>(y)].load(), 1) << rows << " " << y;
    EXPECT_GE(calls.load(), std::max(1, std::min(rows, 3)));
    EXPECT_LE(calls.load(), std::max(1, rows));
  }
  workers.Stop();
  EXPECT_EQ(workers.Parts(), 1);

  EXPECT_EQ(RowWorkerParts(640, 512, 0), 1);  // under a megapixel: no split
  EXPECT_EQ(RowWorkerParts(640, 512, 2), 2);  // an explicit count wins
  EXPECT_EQ(RowWorkerParts(64, 64, 99), RowWorkers::kMaxParts);
  const int big = RowWorkerParts(4096, 3072, 0);
  EXPECT_GE(big, 1);
  EXPECT_LE(big, RowWorkers::kMaxParts);
}

TEST_F(PipelineTest, OneShotWhiteBalanceIsReportedAndCleared) {
  settings.bayerGainAuto = 1;
  settings.bayerGainAutoOnce1 = 1;
  settings.bayerGainAutoOnce2 = 1;
  Prepare(8, 8, 2);
  FrameReport report;
  ASSERT_EQ(Run(&report), 1u);
  EXPECT_TRUE(report.whiteBalanceMeasured);
  EXPECT_EQ(settings.bayerGainAuto, 0);
  ASSERT_EQ(Run(&report), 1u);
  EXPECT_FALSE(report.whiteBalanceMeasured);
}

TEST_F(PipelineTest, FiltersAndAutoIrisRunOnTheRawFrame) {
  settings.dotFilter = 1;
  settings.maskFilter = 1;
  settings.configFilter = 1;
  settings.autoIrisMode = 1;
  test::FakeCamera iris;
  camera = &iris;
  geometry.width = 16;
  geometry.height = 16;
  Prepare(16, 16, 0);
  DibImage& raw = pipeline.Raw8();
  std::memset(raw.Pixels(), 255, raw.SizeBytes());
  raw.Row(8)[8] = 0;  // an isolated dark outlier
  FrameReport report;
  ASSERT_EQ(Run(&report), 1u);
  EXPECT_EQ(raw.Row(8)[8], 255);
  EXPECT_TRUE(report.autoIrisChanged);
  EXPECT_EQ(iris.exposure, 250u);
  EXPECT_TRUE(lock.try_lock());
  lock.unlock();
}

// A large sensor cannot hold the images of every mode at once: a mode keeps
// only its own raw and colour image, whatever ran before it.
TEST_F(PipelineTest, ConfigureKeepsOnlyTheImagesOfTheMode) {
  auto held = [&] {
    std::vector<int> bits;
    for (DibImage* img : {&pipeline.Raw8(), &pipeline.Raw16(), &pipeline.Color(24),
                          &pipeline.Color(32), &pipeline.Color(48), &pipeline.Color(64)})
      if (!img->IsEmpty()) bits.push_back(img->BitCount());
    return bits;
  };
  for (int mode = 0; mode < ImagePipeline::kColorModeCount; ++mode) Prepare(16, 8, mode);
  EXPECT_EQ(held(), (std::vector<int>{16, 64}));
  ASSERT_EQ(Run(), 1u);
  Prepare(16, 8, 0);
  EXPECT_EQ(held(), std::vector<int>{8});
  // Luma of Mono 8 makes its Color 24 image on the first frame that needs it.
  settings.grayMode = 2;
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(held(), (std::vector<int>{8, 24}));
  Prepare(16, 8, 3);
  EXPECT_EQ(held(), (std::vector<int>{8, 32}));
}

TEST_F(PipelineTest, RefusesInvalidModeAndMissingRaw) {
  settings.colorMode = 6;
  EXPECT_EQ(Run(), 0u);
  settings.colorMode = -1;
  EXPECT_EQ(Run(), 0u);
  settings.colorMode = 2;
  EXPECT_EQ(Run(), 0u);  // nothing configured
  EXPECT_FALSE(pipeline.Configure(0, 4, 2));
  EXPECT_FALSE(pipeline.Configure(4, 4, 9));
  // A frame too small to demosaic still runs and leaves the colour image.
  Prepare(3, 3, 3);
  EXPECT_EQ(Run(), 1u);
}

}  // namespace
}  // namespace vexcam
