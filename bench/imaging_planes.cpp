// The video converter's frames (three samples per pixel) into Color 24 and
// Mono 8 at 1920 x 1080, beside a memcpy of the Color 24 output.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/plane_frame.h"

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

std::vector<uint8_t> Frame() {
  std::vector<uint8_t> f(size_t{kW} * kH * 3);
  std::mt19937 rng(3);
  for (uint8_t& b : f) b = static_cast<uint8_t>(rng());
  return f;
}

void BM_PlanesToColor24(benchmark::State& state) {
  const std::vector<uint8_t> f = Frame();
  vexcam::DibImage out;
  out.Create(kW, kH, 24);
  for (auto _ : state) {
    vexcam::PlanesToColor(out, {f.data(), kW, kH, 1}, 1, false, false, nullptr);
    benchmark::DoNotOptimize(out.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.SizeBytes()));
}

void BM_PlanesToGray8(benchmark::State& state) {
  const std::vector<uint8_t> f = Frame();
  vexcam::DibImage out;
  out.Create(kW, kH, 8);
  for (auto _ : state) {
    vexcam::PlanesToGray(out, {f.data(), kW, kH, 1}, 1, nullptr);
    benchmark::DoNotOptimize(out.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.size()));
}

void BM_MemcpyColor24(benchmark::State& state) {
  const std::vector<uint8_t> f = Frame();
  vexcam::DibImage out;
  out.Create(kW, kH, 24);
  for (auto _ : state) {
    std::memcpy(out.Pixels(), f.data(), f.size());
    benchmark::DoNotOptimize(out.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.size()));
}

}  // namespace

BENCHMARK(BM_MemcpyColor24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanesToColor24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanesToGray8)->Unit(benchmark::kMillisecond);
