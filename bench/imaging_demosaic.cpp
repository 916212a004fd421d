// Demosaic throughput next to a memcpy of the same output size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "imaging/demosaic.h"
#include "imaging/dib_image.h"

namespace {

using vexcam::DibImage;

void FillRaw(DibImage& raw) {
  std::mt19937 rng(5);
  for (size_t i = 0; i < raw.SizeBytes(); ++i) raw.Pixels()[i] = static_cast<uint8_t>(rng());
}

void BM_Demosaic(benchmark::State& state, int rawBits, int outBits) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  DibImage raw, out;
  raw.Create(w, h, rawBits);
  out.Create(w, h, outBits);
  FillRaw(raw);
  vexcam::Demosaicer demosaicer;
  for (auto _ : state) {
    demosaicer.Run(out, raw, 0, 130, 90);
    benchmark::DoNotOptimize(out.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(out.SizeBytes()));
}

void BM_MemcpyOutput(benchmark::State& state, int outBits) {
  DibImage a, b;
  a.Create(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), outBits);
  b.Create(a.Width(), a.Height(), outBits);
  for (auto _ : state) {
    std::memcpy(b.Pixels(), a.Pixels(), a.SizeBytes());
    benchmark::DoNotOptimize(b.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(a.SizeBytes()));
}

}  // namespace

BENCHMARK_CAPTURE(BM_MemcpyOutput, bgr24, 24)
    ->Args({640, 512})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Demosaic, raw8_to_24, 8, 24)
    ->Args({640, 512})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MemcpyOutput, bgr48, 48)
    ->Args({640, 512})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Demosaic, raw16_to_48, 16, 48)
    ->Args({640, 512})
    ->Args({4096, 3072})
    ->Unit(benchmark::kMillisecond);
