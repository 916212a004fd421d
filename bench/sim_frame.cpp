// Frame generation of the simulated camera: header + payload through the
// USB access interface, unpaced.
#include <benchmark/benchmark.h>

#include <vector>

#include "sim/sim_backend.h"

namespace {

void ReadFrames(benchmark::State& state, uint16_t productId, bool wide) {
  using namespace vexcam;
  auto& backend = sim::SimBackend::Instance();
  backend.RemoveAll();
  auto camera = backend.AddCamera(productId);
  camera->SetSpeedUp(1000000);
  camera->EnableLog(false);
  if (wide) camera->SetFpgaRegister(60, 2);
  auto device = backend.Open(camera->Path());
  uint8_t request[64] = {};
  uint8_t header[64];
  std::vector<uint8_t> payload(64u << 20);
  for (auto _ : state) {
    device->ControlTransfer(0x42, 0xC2, 0, 0, request, 64, 3000);
    device->BulkTransfer(0x81, header, 64, 1000);
    const uint32_t length =
        header[16] | header[17] << 8 | header[18] << 16 | uint32_t{header[19]} << 24;
    for (uint32_t off = 0; off < length; off += 524288)
      device->BulkTransfer(0x81, payload.data() + off, std::min<uint32_t>(524288, length - off),
                           1000);
    state.SetBytesProcessed(state.bytes_processed() + length);
  }
  backend.RemoveAll();
}

void BM_Za01Frame8(benchmark::State& state) { ReadFrames(state, 0x3200, false); }
void BM_Za01Frame16(benchmark::State& state) { ReadFrames(state, 0x3200, true); }
void BM_LargeFrame16(benchmark::State& state) { ReadFrames(state, 0x3020, true); }

BENCHMARK(BM_Za01Frame8);
BENCHMARK(BM_Za01Frame16);
BENCHMARK(BM_LargeFrame16);

}  // namespace
