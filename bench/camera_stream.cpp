// Streaming through the camera device model from the simulated camera
// (StartCapture, WaitFrame, GetFrame), beside a memcpy of the same bytes.
// Reports frames per second and bytes per second; the resident memory of an
// open camera is reported as a counter.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "sim/sim_backend.h"

namespace {

using vexcam::CVexCamUSB3K9SimpleSdk;

long ResidentKiB() {
  long kib = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof(line), f)) {
      if (std::sscanf(line, "VmRSS: %ld", &kib) == 1) break;
    }
    std::fclose(f);
  }
  return kib;
}

// pid 0x3200: 640 x 512; pid 0x3999: the fallback's 4608 x 3288.
void Stream(benchmark::State& state, uint16_t pid, uint32_t bits16) {
  auto& backend = vexcam::sim::SimBackend::Instance();
  backend.RemoveAll();
  backend.Install(false);
  backend.SetSpeedUp(100000);
  backend.AddCamera(pid);
  const long before = ResidentKiB();
  auto cam = std::make_unique<CVexCamUSB3K9SimpleSdk>();
  cam->SetProductId(pid);
  cam->CreateController(nullptr, nullptr);
  cam->OpenCamera(0);
  cam->SetDataBits(bits16 ? 0 : 1);
  cam->SetDataBits(bits16);
  cam->ApplyCaptureSettings();
  std::vector<uint8_t> frame(cam->FrameSize());
  std::memset(frame.data(), 0, frame.size());
  if (frame.empty() || !cam->StartCapture(vexcam::kCaptureContinuous)) {
    state.SkipWithError("camera did not start");
    return;
  }
  int64_t frames = 0;
  for (auto _ : state) {
    while (cam->WaitFrame(3000) != vexcam::kWaitNewFrame) {}
    cam->GetFrame(frame.data(), frame.size(), 0, 0, 1);
    ++frames;
  }
  state.counters["resident_MiB"] = (ResidentKiB() - before) / 1024.0;
  cam->StopCapture();
  cam.reset();
  backend.RemoveAll();
  state.SetBytesProcessed(frames * static_cast<int64_t>(frame.size()));
  state.SetItemsProcessed(frames);
}

void Memcpy(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(Stream, za01_8bit, 0x3200, 0)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(Stream, za01_16bit, 0x3200, 1)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(Stream, large_16bit, 0x3999, 1)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(Memcpy, za01_8bit, 640 * 512);
BENCHMARK_CAPTURE(Memcpy, za01_16bit, 640 * 512 * 2);
BENCHMARK_CAPTURE(Memcpy, large_16bit, 4608 * 3288 * 2);

}  // namespace
