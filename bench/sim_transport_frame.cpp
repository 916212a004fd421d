// Frame path of the transport (header + payload into the caller's buffer)
// through the simulated camera, beside a memcpy of the same size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "sim/sim_backend.h"
#include "transport/vex_cy3_cam.h"

namespace {

using vexcam::CVexCy3Cam;
using vexcam::FrameDescriptor;

void BM_FrameThroughTransport(benchmark::State& state) {
  const auto width = static_cast<uint32_t>(state.range(0));
  const auto height = static_cast<uint32_t>(state.range(1));
  const auto bytesPerPixel = static_cast<uint32_t>(state.range(2));
  auto& sim = vexcam::sim::SimBackend::Instance();
  sim.RemoveAll();
  sim.SetSpeedUp(1000000);  // unpaced: measure the transfer path only
  auto camera = sim.AddCamera(0x3200);
  sim.Install(true);
  // Window and data width registers of the FPGA.
  camera->SetFpgaRegister(68, static_cast<uint8_t>(width));
  camera->SetFpgaRegister(69, static_cast<uint8_t>(width >> 8));
  camera->SetFpgaRegister(64, static_cast<uint8_t>(height));
  camera->SetFpgaRegister(65, static_cast<uint8_t>(height >> 8));
  camera->SetFpgaRegister(60, bytesPerPixel == 2 ? 2 : 1);
  camera->EnableLog(false);

  CVexCy3Cam transport;
  if (transport.EnumerateDevices() != 1 || !transport.SelectDevice(0) ||
      !transport.PrepareTransferBuffer() || !transport.OpenStream()) {
    state.SkipWithError("simulated camera not available");
    return;
  }
  const size_t frameBytes = static_cast<size_t>(width) * height * bytesPerPixel;
  std::vector<uint8_t> buffer(frameBytes + 65536);
  FrameDescriptor frame;
  frame.destination = buffer.data();
  frame.capacity = static_cast<uint32_t>(buffer.size());
  for (auto _ : state) {
    if (!transport.ReadFrameHeader(frame) || !transport.ReadFramePayload(frame, 3000)) {
      state.SkipWithError("frame read failed");
      break;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  uint32_t payload = 0;
  std::memcpy(&payload, frame.header + vexcam::kHeaderPayloadOffset, 4);
  state.counters["payload"] = payload;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload);
  transport.CloseStream();
  sim.RemoveAll();
}

void BM_MemcpySameSize(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) * state.range(1) * state.range(2);
  std::vector<uint8_t> from(bytes, 1);
  std::vector<uint8_t> to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({640, 512, 1})->Args({640, 512, 2})->Args({4608, 3288, 2})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_FrameThroughTransport)->Apply(Sizes);
BENCHMARK(BM_MemcpySameSize)->Apply(Sizes);

}  // namespace
