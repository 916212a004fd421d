// Cost of the defect filters on a 640 x 512 raw frame and of each adjustment on
// a 640 x 512 Color 24 image, beside a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/color_adjust.h"
#include "imaging/defect_filter.h"
#include "imaging/defect_state.h"
#include "imaging/gray_adjust.h"
#include "imaging/shading_filter.h"
#include "imaging/sharpen.h"
#include "imaging/tone_adjust.h"

namespace {

using namespace vexcam;

constexpr int kW = 640;
constexpr int kH = 512;

DibImage MakeImage(int bits, uint32_t seed) {
  DibImage img;
  img.Create(kW, kH, bits);
  std::mt19937 rng(seed);
  for (size_t i = 0; i < img.SizeBytes(); ++i) img.Pixels()[i] = static_cast<uint8_t>(rng());
  return img;
}

void Memcpy(benchmark::State& state, int bits) {
  const DibImage src = MakeImage(bits, 1);
  DibImage dst = MakeImage(bits, 2);
  for (auto _ : state) {
    std::memcpy(dst.Pixels(), src.Pixels(), src.SizeBytes());
    benchmark::ClobberMemory();
  }
}
void BM_MemcpyRaw8(benchmark::State& s) { Memcpy(s, 8); }
void BM_MemcpyColor24(benchmark::State& s) { Memcpy(s, 24); }
BENCHMARK(BM_MemcpyRaw8)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyColor24)->Unit(benchmark::kMicrosecond);

CaptureGeometry FullWindow() { return CaptureGeometry{}; }

void BM_DotFilter8(benchmark::State& state) {
  DefectState st;
  st.Init();
  const DibImage src = MakeImage(8, 3);
  DibImage raw = MakeImage(8, 3);
  for (auto _ : state) {
    std::memcpy(raw.Pixels(), src.Pixels(), src.SizeBytes());
    ApplyDotFilter(raw, st, FullWindow());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DotFilter8)->Unit(benchmark::kMicrosecond);

// A typical frame: smooth content with one outlier in a thousand pixels.
void BM_DotFilter8Sparse(benchmark::State& state) {
  DefectState st;
  st.Init();
  DibImage src;
  src.Create(kW, kH, 8);
  std::mt19937 rng(3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      src.Row(y)[x] = static_cast<uint8_t>(rng() % 1000 ? 100 + rng() % 8 : 250);
  DibImage raw;
  raw.CopyFrom(src);
  for (auto _ : state) {
    std::memcpy(raw.Pixels(), src.Pixels(), src.SizeBytes());
    ApplyDotFilter(raw, st, FullWindow());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DotFilter8Sparse)->Unit(benchmark::kMicrosecond);

void BM_Shading8(benchmark::State& state) {
  DefectState st;
  st.Init();
  DibImage raw = MakeImage(8, 4);
  for (auto _ : state) {
    ApplyShadingCorrection(raw, st, FullWindow());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Shading8)->Unit(benchmark::kMicrosecond);

void BM_Shading16(benchmark::State& state) {
  DefectState st;
  st.Init();
  DibImage raw = MakeImage(16, 4);
  for (auto _ : state) {
    ApplyShadingCorrection(raw, st, FullWindow());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Shading16)->Unit(benchmark::kMicrosecond);

void BM_GrayGainOffset8(benchmark::State& state) {
  DibImage raw = MakeImage(8, 5);
  const int32_t gains[4] = {120, 130, 140, 128};
  const int32_t offsets[4] = {0, 1, 2, 3};
  for (auto _ : state) {
    ApplyGrayGainOffset(raw, 0, gains, offsets);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GrayGainOffset8)->Unit(benchmark::kMicrosecond);

void BM_HueSaturation24(benchmark::State& state) {
  DibImage img = MakeImage(24, 6);
  HueSatCache cache;
  for (auto _ : state) {
    ApplyHueSaturation(img, 30, 40, cache);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_HueSaturation24)->Unit(benchmark::kMicrosecond);

void BM_Gamma24(benchmark::State& state) {
  DibImage img = MakeImage(24, 7);
  ToneTables tables;
  for (auto _ : state) {
    ApplyGamma(img, 150, tables);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Gamma24)->Unit(benchmark::kMicrosecond);

void BM_Brightness24(benchmark::State& state) {
  DibImage img = MakeImage(24, 9);
  ToneTables tables;
  for (auto _ : state) {
    ApplyBrightness(img, 10, tables);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Brightness24)->Unit(benchmark::kMicrosecond);

void BM_Sharpness24(benchmark::State& state) {
  DibImage img = MakeImage(24, 10);
  DibImage copy;
  SharpenCache cache;
  for (auto _ : state) {
    ApplySharpness(img, 5, copy, cache);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Sharpness24)->Unit(benchmark::kMicrosecond);

}  // namespace
