// A trigger-mode change that waits for the camera's first triggered frame
// must not hold the camera lock while it waits: a stop from another thread
// returns at once and ends the wait.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "sim/sim_backend.h"

namespace vexcam {
namespace {

using Clock = std::chrono::steady_clock;

class TestCamera : public CVexCamUSB3K9SimpleSdk {
 public:
  void ReplaceSensor(std::unique_ptr<CSensorBase> sensor) { sensor_ = std::move(sensor); }
};

TEST(TriggerWait, StopFromAnotherThreadDoesNotWaitBehindTheTriggerChange) {
  auto& backend = sim::SimBackend::Instance();
  backend.RemoveAll();
  backend.Install(false);
  auto sim = backend.AddCamera(0x3260);  // cooled family: waits for a first frame
  sim->SetFpgaVersion(0x0120);
  {
    TestCamera cam;
    cam.SetProductId(0x3260);
    cam.CreateController(nullptr, nullptr);
    cam.OpenCamera(0);  // the fallback driver's bring-up does not matter here
    cam.ReplaceSensor(std::make_unique<CSensorBase>(cam.Transport(), 0x48));

    cam.WriteFpgaRegister(88, 1);  // what a driver's trigger mode does: no frame until a trigger
    std::atomic<bool> returned{false};
    std::thread setter([&] {
      cam.SetTriggerMode(1, 1);
      returned.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_FALSE(returned.load()) << "no trigger came, so the change must still be waiting";
    const auto start = Clock::now();
    cam.StopCapture();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    setter.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(returned.load());
  }
  backend.RemoveAll();
}

}  // namespace
}  // namespace vexcam
