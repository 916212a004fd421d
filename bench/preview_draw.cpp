// Draw frame of the preview window on an Xvfb of its own: 640 x 512 Mono 8
// and Color 24 into a child window of the image's size (one copy) and of
// 1024 x 819 (resampled), with MIT-SHM and with plain XPutImage.
//   Draw      time the acquisition thread spends per frame (the put itself is
//             done by the window's thread; the wait for it is not timed)
//   DrawToScreen  the same plus the wait until the X server has the picture
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "common/xvfb_server.h"
#include "imaging/dib_image.h"
#include "imaging/image_pipeline.h"
#include "instance/preview_window.h"
#include "platform/x11_window_handle.h"

#include <X11/Xlib.h>

namespace {

using vexcam::CPreviewWindow;

struct Stage {
  vexcam::test::XvfbServer server;
  Display* display = nullptr;
  Window parent = 0;
  bool ok = false;
  Stage() {
    if (!server.Start()) return;
    setenv("DISPLAY", server.Display().c_str(), 1);
    setenv("VEXCAM_PREVIEW_MODULE", VEXCAM_PREVIEW_MODULE_PATH, 1);
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1100, 900, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    ok = true;
  }
  ~Stage() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

Stage& TheStage() {
  static Stage stage;
  return stage;
}

// Args: colour mode (0 or 2), client width, client height, MIT-SHM (0/1).
void Run(benchmark::State& state, bool toScreen) {
  Stage& stage = TheStage();
  if (!stage.ok) {
    state.SkipWithError("Xvfb is not available");
    return;
  }
  const int mode = static_cast<int>(state.range(0));
  setenv("VEXCAM_PREVIEW_SHM", state.range(3) != 0 ? "1" : "0", 1);
  vexcam::ImagePipeline images;
  if (!images.Configure(640, 512, mode)) {
    state.SkipWithError("images");
    return;
  }
  vexcam::DibImage& img = images.ImageFor(mode);
  std::mt19937 rng(7);
  for (size_t i = 0; i < img.SizeBytes(); ++i) img.Pixels()[i] = static_cast<uint8_t>(rng());
  CPreviewWindow::Placement p;
  p.parent = vexcam::HandleFromX11(stage.parent);
  p.rect = {0, 0, static_cast<int32_t>(state.range(1)), static_cast<int32_t>(state.range(2))};
  p.captureWidth = 640;
  p.captureHeight = 512;
  std::unique_ptr<CPreviewWindow> window = CPreviewWindow::Create(p);
  if (!window) {
    state.SkipWithError("no preview window");
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // mapped and sized
  for (auto _ : state) {
    window->Draw(images, mode);
    if (toScreen) {
      window->Flush();
    } else {
      state.PauseTiming();
      window->Flush();
      state.ResumeTiming();
    }
  }
}

void Draw(benchmark::State& state) { Run(state, false); }
void DrawToScreen(benchmark::State& state) { Run(state, true); }

void Sizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"mode", "w", "h", "shm"});
  for (int shm : {1, 0}) {
    for (int mode : {0, 2}) {
      b->Args({mode, 640, 512, shm});
      b->Args({mode, 1024, 819, shm});
    }
  }
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(Draw)->Apply(Sizes);
BENCHMARK(DrawToScreen)->Apply(Sizes);

}  // namespace
