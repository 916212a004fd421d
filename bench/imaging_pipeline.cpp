// ProcessFrame at 640 x 512, ColorMode 2, next to a memcpy of the output.
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>
#include <random>

#include "imaging/image_pipeline.h"

namespace {

using namespace vexcam;

void BM_ProcessFrame(benchmark::State& state, bool adjustments, bool sharpen = true) {
  const int w = 640, h = 512;
  ImagePipeline pipeline;
  ImageSettings settings;
  settings.colorMode = 2;
  if (adjustments) {
    settings.gamma = 140;
    settings.contrast = 20;
    settings.sharpness = sharpen ? 8 : 0;
    settings.hue = 30;
    settings.saturation = 40;
    settings.brightness = 25;
  }
  DefectState defects;
  defects.Init();
  std::mutex lock;
  CaptureGeometry geometry;
  pipeline.Configure(w, h, 2);
  std::mt19937 rng(8);
  DibImage& raw = pipeline.Raw8();
  for (size_t i = 0; i < raw.SizeBytes(); ++i) raw.Pixels()[i] = static_cast<uint8_t>(rng());
  for (auto _ : state) {
    pipeline.ProcessFrame(settings, defects, lock, nullptr, geometry);
    benchmark::DoNotOptimize(pipeline.ImageFor(2).Pixels());
    benchmark::ClobberMemory();
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MemcpyBgr24(benchmark::State& state) {
  DibImage a, b;
  a.Create(640, 512, 24);
  b.Create(640, 512, 24);
  for (auto _ : state) {
    std::memcpy(b.Pixels(), a.Pixels(), a.SizeBytes());
    benchmark::DoNotOptimize(b.Pixels());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_MemcpyBgr24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProcessFrame, no_adjustments, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProcessFrame, all_adjustments, true)->Unit(benchmark::kMillisecond);
// Without sharpening the three value-only stages run as one table.
BENCHMARK_CAPTURE(BM_ProcessFrame, all_but_sharpness, true, false)->Unit(benchmark::kMillisecond);
