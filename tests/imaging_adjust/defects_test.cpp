// Defect correction and auto exposure against plain references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "imaging/auto_iris.h"
#include "imaging/defect_filter.h"
#include "imaging/defect_state.h"
#include "imaging/shading_filter.h"
#include "imaging_convert/cpu_paths.h"
#include "imaging_convert/fake_iris_camera.h"
#include "test_image.h"

namespace vexcam {
namespace {

using namespace vexcam::test;

CaptureGeometry Window(int x0, int y0, int w, int h, int sub = 1) {
  CaptureGeometry g;
  std::tie(g.x0, g.y0, g.width, g.height, g.subSample) = std::tie(x0, y0, w, h, sub);
  return g;
}

TEST(DefectMap, ThresholdsApplyInsideTheBandOnly) {
  DefectState st;
  ASSERT_EQ(st.Init(), 1u);
  EXPECT_EQ(Get(st.dark8, 5, 5), 0);
  EXPECT_EQ(Get(st.white8, 5, 5), 255);
  EXPECT_EQ(Get(st.white16, 639, 511), 65535);
  Set(st.dark8, 10, 10, 0, 193);
  Set(st.dark8, 11, 10, 0, 192);
  Set(st.dark8, 1, 10, 0, 255);  // outside the band
  Set(st.white16, 637, 509, 0, 4095);
  Set(st.white16, 20, 20, 0, 4096);
  Set(st.hotMap8, 0, 0, 0, 1);  // kept: outside the band
  ASSERT_EQ(st.BuildDefectMap(8, false), 1u);
  ASSERT_EQ(st.BuildDefectMap(16, true), 1u);
  EXPECT_EQ(Get(st.hotMap8, 10, 10), 1);
  EXPECT_EQ(Get(st.hotMap8, 11, 10), 0);
  EXPECT_EQ(Get(st.hotMap8, 1, 10), 0);
  EXPECT_EQ(Get(st.hotMap8, 0, 0), 1);
  EXPECT_EQ(Get(st.deadMap16, 637, 509), 1);
  EXPECT_EQ(Get(st.deadMap16, 20, 20), 0);
  EXPECT_EQ(st.BuildDefectMap(12, false), 0u);
}

// ---- shading --------------------------------------------------------------------

void RefShading(DibImage& raw, const DefectState& st, const CaptureGeometry& g) {
  const bool wide = raw.BitCount() == 16;
  const DibImage& dark = wide ? st.dark16 : st.dark8;
  const DibImage& white = wide ? st.white16 : st.white8;
  const int m = (g.width == 640 || g.height == 512) ? 2 : 0;
  for (int r = m; r < raw.Height() - m; ++r)
    for (int c = m; c < raw.Width() - m; ++c) {
      const int sx = g.x0 + c * g.subSample, sy = g.y0 + r * g.subSample;
      if (sx < 0 || sx >= 640 || sy < 0 || sy >= 512) continue;
      const int64_t s = Get(raw, c, r), d = Get(dark, sx, sy), w = Get(white, sx, sy);
      if (!wide && w != d)
        Set(raw, c, r, 0, int32_t(std::clamp<int64_t>((s - d) * 256 / (w - d), 0, 255)));
      if (wide && w > d)
        Set(raw, c, r, 0, int32_t(std::clamp<int64_t>((s - d) * 65536 / (w - d), 0, 65535)));
    }
}

TEST_EVERY_CPU_PATH(ShadingCorrection, MatchesReferenceForWindowsAndSubSampling) {
  std::mt19937 rng(10);
  DefectState st;
  ASSERT_EQ(st.Init(), 1u);
  for (DibImage* ref : {&st.dark8, &st.white8, &st.dark16, &st.white16})
    testref::FillRandom(*ref, rng);
  // Equal pairs and white below dark must be hit too.
  for (int x = 0; x < 640; x += 3) {
    Set(st.white8, x, 7, 0, Get(st.dark8, x, 7));
    Set(st.white16, x, 7, 0, Get(st.dark16, x, 7));
  }
  const CaptureGeometry windows[] = {Window(0, 0, 640, 512),   Window(160, 128, 320, 256),
                                     Window(636, 3, 4, 509),   Window(0, 0, 640, 512, 2),
                                     Window(600, 500, 70, 11), Window(-3, 0, 66, 7)};
  for (int bits : {8, 16})
    for (const CaptureGeometry& g : windows) {
      const int w = g.subSample > 1 ? g.width / g.subSample : g.width;
      const int h = g.subSample > 1 ? g.height / g.subSample : g.height;
      DibImage raw = RandomImage(w, h, bits, rng), ref = Copy(raw);
      ApplyShadingCorrection(raw, st, g);
      RefShading(ref, st, g);
      ASSERT_TRUE(SameBytes(raw, ref)) << bits << " at " << g.x0 << "," << g.y0;
    }
}

TEST_EVERY_CPU_PATH(ShadingCorrection, EightBitQuotientIsExactForEveryOperand) {
  // Every (sample, dark, white) combination against integer division.
  DefectState st;
  ASSERT_EQ(st.Init(), 1u);
  DibImage raw = Flat(8, 0, 256, 1);
  for (int d = 0; d < 256; ++d) {
    for (int x = 0; x < 256; ++x) Set(st.dark8, x, 0, 0, d);
    for (int w = 0; w < 256; ++w) {
      for (int x = 0; x < 256; ++x) {
        Set(st.white8, x, 0, 0, w);
        Set(raw, x, 0, 0, x);
      }
      ApplyShadingCorrection(raw, st, Window(0, 0, 256, 1));
      for (int s = 0; s < 256; ++s) {
        const int expect = w == d ? s : std::clamp((s - d) * 256 / (w - d), 0, 255);
        ASSERT_EQ(Get(raw, s, 0), expect) << s << " " << d << " " << w;
      }
    }
  }
}

// ---- dot filter -----------------------------------------------------------------

// Mean of the nearest unmarked pixel in each of the four directions, walking
// from (x, y) over a w x h frame; -1 when every direction is marked to the edge.
template <typename Marked, typename Value>
int NeighbourMean(int x, int y, int w, int h, Marked marked, Value value) {
  int sum = 0, n = 0;
  const int dx[] = {-1, 1, 0, 0}, dy[] = {0, 0, -1, 1};
  for (int dir = 0; dir < 4; ++dir)
    for (int xx = x + dx[dir], yy = y + dy[dir]; xx >= 0 && xx < w && yy >= 0 && yy < h;
         xx += dx[dir], yy += dy[dir])
      if (!marked(xx, yy)) {
        sum += value(xx, yy);
        ++n;
        break;
      }
  return n ? sum / n : -1;
}

void RefDot(DibImage& raw, const DefectState& st, const CaptureGeometry& g) {
  const bool wide = raw.BitCount() == 16;
  const int t = wide ? 480 : 30;
  const DibImage& hot = wide ? st.hotMap16 : st.hotMap8;
  const DibImage& dead = wide ? st.deadMap16 : st.deadMap8;
  const int w = raw.Width(), h = raw.Height();
  std::vector<int> mark(size_t(w) * h, 0);
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      const int avg =
          (Get(raw, x - 1, y) + Get(raw, x + 1, y) + Get(raw, x, y - 1) + Get(raw, x, y + 1)) >> 2;
      int fixed = 0;
      const int sx = g.x0 + x * g.subSample, sy = g.y0 + y * g.subSample;
      if (sx >= 0 && sx < 640 && sy >= 0 && sy < 512) fixed = Get(hot, sx, sy) | Get(dead, sx, sy);
      mark[y * w + x] = fixed || std::abs(Get(raw, x, y) - avg) >= t;
    }
  const DibImage src = Copy(raw);
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      if (!mark[y * w + x]) continue;
      const int mean = NeighbourMean(
          x, y, w, h, [&](int xx, int yy) { return mark[yy * w + xx] != 0; },
          [&](int xx, int yy) { return Get(src, xx, yy); });
      if (mean >= 0) Set(raw, x, y, 0, mean);
    }
}

TEST_EVERY_CPU_PATH(DotFilter, MatchesReferenceWithMapsAndWindows) {
  std::mt19937 rng(11);
  DefectState st;
  ASSERT_EQ(st.Init(), 1u);
  for (DibImage* map : {&st.hotMap8, &st.deadMap8, &st.hotMap16, &st.deadMap16})
    for (size_t i = 0; i < map->SizeBytes(); ++i) map->Pixels()[i] = rng() % 23 == 0;
  // The last window is too narrow to have an inner pixel.
  const CaptureGeometry windows[] = {Window(0, 0, 640, 512),  Window(160, 128, 66, 7),
                                     Window(630, 505, 13, 9), Window(0, 0, 140, 22, 2),
                                     Window(-1, -1, 5, 5),    Window(0, 0, 2, 9)};
  for (int bits : {8, 16})
    for (const CaptureGeometry& g : windows)
      for (int smooth = 0; smooth < 3; ++smooth) {
        const int w = g.width / g.subSample, h = g.height / g.subSample;
        DibImage raw = RandomImage(w, h, bits, rng);
        // Noise marks nearly every pixel, spikes in one of 9 about half of them, in one of 400
        // few: the dense and the sparse repair.
        const unsigned spikeRate = smooth == 1 ? 9 : 400;
        if (smooth) {
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
              Set(raw, x, y, 0,
                  rng() % spikeRate == 0 ? int(rng() % 65536) % (MaxOf(raw) + 1)
                                         : 100 + int(rng() % 20));
        }
        DibImage ref = Copy(raw);
        ApplyDotFilter(raw, st, g);
        RefDot(ref, st, g);
        ASSERT_TRUE(SameBytes(raw, ref)) << bits << " " << w << "x" << h;
      }
}

// ---- configuration filter -----------------------------------------------------------

// Reference: list transformed to frame positions up front (bottom-based rows).
void RefConfig(DibImage& raw, const std::vector<DefectPoint>& list, const CaptureGeometry& g) {
  const int w = raw.Width(), h = raw.Height();
  std::vector<std::pair<int, int>> pos;
  for (const DefectPoint& p : list) {
    long x = p.x, y = p.y;
    const bool fx = g.hwMirrorH && g.mirrorH, fy = g.hwMirrorV && g.mirrorV;
    if (fx) x = 639 - x;
    if (fy) y = 511 - y;
    const long left = g.canChangeWidth ? (fx && g.width != 640 ? 640 - g.x0 - g.width : g.x0) : 0;
    const long top = g.canChangeHeight ? (fy && g.height != 512 ? g.y0 : 512 - g.y0 - g.height) : 0;
    pos.emplace_back(int(x - left), int(y - top));
  }
  auto listed = [&](int x, int y) {
    return std::find(pos.begin(), pos.end(), std::make_pair(x, y)) != pos.end();
  };
  const DibImage src = Copy(raw);
  for (auto [x, y] : pos) {
    if (x < 0 || x >= w || y < 0 || y >= h) continue;
    const int mean =
        NeighbourMean(x, y, w, h, listed, [&](int xx, int yy) { return Get(src, xx, h - 1 - yy); });
    if (mean >= 0) Set(raw, x, h - 1 - y, 0, mean);
  }
}

TEST(ConfigFilter, MatchesReferenceWithMirrorsAndWindowOrigins) {
  std::mt19937 rng(12);
  for (int bits : {8, 16})
    for (int variant = 0; variant < 32; ++variant) {
      CaptureGeometry g = Window(100, 40, 20, 13);
      if (variant & 16) g = Window(0, 0, 640, 512);
      g.mirrorH = g.hwMirrorH = variant & 1;
      g.mirrorV = g.hwMirrorV = variant & 2;
      g.canChangeWidth = variant & 4;
      g.canChangeHeight = variant & 8;
      std::vector<DefectPoint> list;
      for (int i = 0; i < 40; ++i) list.push_back({uint32_t(rng() % 700), uint32_t(rng() % 560)});
      for (int i = 0; i < 30; ++i)
        list.push_back({uint32_t(90 + rng() % 40), uint32_t(440 + rng() % 40)});
      for (int i = 0; i < 20; ++i) list.push_back({uint32_t(rng() % 30), uint32_t(rng() % 20)});
      list.push_back({0xFFFFFFFFu, 0xFFFFFFFFu});
      DibImage raw = RandomImage(g.width, g.height, bits, rng), ref = Copy(raw);
      ApplyConfigFilter(raw, list, g);
      RefConfig(ref, list, g);
      ASSERT_TRUE(SameBytes(raw, ref)) << bits << " variant " << variant;
    }
}

// ---- auto iris ------------------------------------------------------------------

using test::FakeCamera;

TEST(AutoIris, ExposureFollowsTheWindowMeans) {
  FakeCamera cam;
  AutoIrisResult r;
  EXPECT_EQ(AutoIrisFactor20(Flat(8, 255)), 5);
  EXPECT_EQ(RunAutoIris(Flat(8, 255), 1, cam, &r), 1u);
  EXPECT_EQ(cam.exposure, 250u);
  EXPECT_EQ(r.exposure, 250u);
  EXPECT_EQ(r.exposureExRead, 0u);

  EXPECT_EQ(RunAutoIris(Flat(8, 120), 1, cam, &r), 0u);
  EXPECT_EQ(cam.exposure, 250u);

  cam.exSupported = true;
  EXPECT_EQ(AutoIrisFactor20(Flat(8, 90)), 25);
  EXPECT_EQ(RunAutoIris(Flat(8, 90), 1, cam, &r), 1u);
  EXPECT_EQ(cam.exposure, 312u);
  EXPECT_EQ(r.exposureExRead, 1u);
  EXPECT_DOUBLE_EQ(r.exposureEx, 0.0312);

  // Limits: never below the minimum, saturating (not wrapping) at the top.
  cam.exposure = 20;
  RunAutoIris(Flat(8, 255), 1, cam, &r);
  EXPECT_EQ(cam.exposure, 10u);
  cam.exposure = 60000;
  cam.expMax = 100000;
  RunAutoIris(Flat(8, 0), 1, cam, &r);
  EXPECT_EQ(cam.exposure, 65535u);

  // 16-bit means are judged on the 8-bit scale of the data depth.
  EXPECT_EQ(AutoIrisFactor20(Flat(16, 255 << 8)), 5);
  EXPECT_EQ(AutoIrisFactor20(Flat(16, 90 << 4), 12), 25);

  // Degenerate images: empty windows count as 0 (dark).
  EXPECT_EQ(AutoIrisFactor20(Flat(8, 255, 1, 1)), 30);

  cam.failReads = true;
  const int before = cam.sets;
  EXPECT_EQ(RunAutoIris(Flat(8, 255), 1, cam, &r), 0u);
  EXPECT_EQ(cam.sets, before);
  EXPECT_EQ(RunAutoIris(Flat(8, 255), 0, cam, &r), 0u);
}

TEST(AutoIris, GainModeKeepsTheCameraLimits) {
  FakeCamera cam;
  AutoIrisResult r;
  EXPECT_EQ(RunAutoIris(Flat(8, 255), 2, cam, &r), 1u);
  EXPECT_EQ(cam.gain, 25);
  EXPECT_EQ(r.gainSet, 1u);
  EXPECT_EQ(r.gain, 25);
  cam.gain = 2;  // raised to 4 before scaling, and at least 4 when brightening
  RunAutoIris(Flat(8, 90), 2, cam, &r);
  EXPECT_EQ(cam.gain, 5);
  cam.gain = 380;
  RunAutoIris(Flat(8, 0), 2, cam, &r);
  EXPECT_EQ(cam.gain, 400);
  cam.gainMin = 50;
  RunAutoIris(Flat(8, 255), 2, cam, &r);
  EXPECT_EQ(cam.gain, 100);
}

}  // namespace
}  // namespace vexcam
