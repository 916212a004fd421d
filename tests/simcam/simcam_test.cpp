// The camera device model against the simulated camera: open and the device
// table, staging, the transfer loops, faults, exposure and trigger rules (the
// factory's choice and the frame sizes: tests/drivers).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "sensors/frame_geometry.h"
#include "sim/sim_backend.h"
#include "sim/test_pattern.h"

namespace vexcam {
namespace {

using Clock = std::chrono::steady_clock;

// Lets a test put in a driver of its own.
class TestCamera : public CVexCamUSB3K9SimpleSdk {
 public:
  void ReplaceSensor(std::unique_ptr<CSensorBase> sensor) { sensor_ = std::move(sensor); }
};

class ReadoutSensor : public CSensorBase {
 public:
  using CSensorBase::CSensorBase;
  uint32_t GetFirmwareFlag() override { return 1; }
};

class SimCam : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimBackend::Instance().RemoveAll();
    sim::SimBackend::Instance().Install(false);
    sim::SimBackend::Instance().SetSpeedUp(1000);
  }
  void TearDown() override {
    cam_.reset();
    sim::SimBackend::Instance().RemoveAll();
  }
  std::shared_ptr<sim::SimCamera> Add(uint16_t pid) {
    return sim::SimBackend::Instance().AddCamera(pid);
  }
  // A camera model for pid with a transport; not opened.
  TestCamera& Model(uint16_t pid) {
    cam_ = std::make_unique<TestCamera>();
    cam_->SetProductId(pid);
    cam_->CreateController(nullptr, nullptr);
    return *cam_;
  }
  TestCamera& Open(uint16_t pid, uint32_t number = 0) {
    TestCamera& cam = Model(pid);
    EXPECT_NE(cam.OpenCamera(number), 0u);
    return cam;
  }
  std::unique_ptr<TestCamera> cam_;
};

TEST_F(SimCam, OpenReopenAndDeviceTable) {
  Add(0x3200);
  Add(0x3200);
  Add(0x3140);
  TestCamera& cam = Model(0x3200);
  EXPECT_EQ(cam.GetDeviceCount(0), 3u);
  EXPECT_EQ(cam.GetDeviceCount(0x3200), 2u);
  EXPECT_EQ(cam.OpenCamera(7), 0u);  // unknown device number
  EXPECT_NE(cam.OpenCamera(1), 0u);
  EXPECT_EQ(cam.Transport()->SelectedIndex(), 1u);
  EXPECT_EQ(cam.GetDeviceNumber(), 1u);
  EXPECT_EQ(cam.ReopenCamera(0), 0u);  // success is 0
  EXPECT_EQ(cam.ReopenCamera(5), 0xFFFFFFFFu);
  EXPECT_EQ(cam.GetDeviceNumber(), 0u);
  EXPECT_EQ(cam.GetDeviceModelIndex(32), 0xFFFFFFFFu);
  EXPECT_EQ(cam.GetDeviceVendorId(32), 0u);
  EXPECT_EQ(cam.GetDeviceProductId(2), 0x3140u);
  char name[64] = {};
  EXPECT_EQ(cam.GetDeviceName(0, name, sizeof(name)), 0u);  // ZA01 has no name here
  EXPECT_EQ(cam.GetDeviceName(2, name, sizeof(name)), 1u);
  EXPECT_STREQ(name, "VexCam-ZA05-USB3-K9_00");
}

// Frame sizes of each width: drivers' DeviceModelStream.EveryHeaderFramedProductStreams.
TEST_F(SimCam, StagingFollowsTheDataWidth) {
  Add(0x3200);
  TestCamera& cam = Open(0x3200);
  ASSERT_EQ(cam.SetDataBits(0), 1u);
  ASSERT_EQ(cam.ApplyCaptureSettings(), 1u);
  EXPECT_EQ(cam.StagingCapacity(), FrameCapacityBytes(640, 512, 1));
  ASSERT_EQ(cam.SetDataBits(1), 1u);
  EXPECT_EQ(cam.StagingCapacity(), FrameCapacityBytes(640, 512, 2));
  EXPECT_EQ(cam.SetDataBits(2), 0u);  // only the three-plane product has a third width
  // An area the driver refuses leaves everything as it was.
  EXPECT_FALSE(cam.SettingsChanged());
  EXPECT_EQ(cam.SetCaptureArea(0, 0, 5000, 5000, 0), 0u);
  EXPECT_FALSE(cam.SettingsChanged());
}

// Expected row r of a ZA01 frame delivered with flip 1 (a 180-degree turn).
std::vector<uint8_t> TurnedRow(uint32_t tag, uint32_t exposure, uint32_t r, uint32_t w,
                               uint32_t h) {
  std::vector<uint8_t> row(w);
  sim::FillPatternRow(tag, exposure, 0, h - 1 - r, w, 8, row.data());
  return std::vector<uint8_t>(row.rbegin(), row.rend());
}

// Streams `count` frames: tags only rise (by exactly one when `consecutive`),
// so no frame comes twice. A slow reader pauses a varying time after each
// frame. (Pixels against tags: CheckFrames in tests/drivers; the turned
// picture through the API: IsWholeFrame in tests/api_capture.)
void StreamFrames(TestCamera& cam, uint32_t count, bool consecutive, bool slowReader) {
  const uint32_t w = 640, h = 512;
  std::vector<uint8_t> frame(w * h);
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  uint32_t lastTag = 0, delivered = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(120);
  while (delivered < count && Clock::now() < deadline) {
    const uint32_t r = cam.WaitFrame(3000);
    ASSERT_NE(r, kWaitTransferError);
    if (r != kWaitNewFrame) continue;
    uint32_t tag = 0;
    ASSERT_EQ(cam.GetFrameEx(frame.data(), &tag, frame.size(), 0, 0, 1), kFrameCopied);
    if (delivered > 0) {
      ASSERT_GT(tag, lastTag);
      if (consecutive) {
        ASSERT_EQ(tag, lastTag + 1);
      }
    }
    lastTag = tag;
    ++delivered;
    if (slowReader) std::this_thread::sleep_for(std::chrono::microseconds(delivered % 7 * 300));
  }
  EXPECT_EQ(delivered, count);
}

TEST_F(SimCam, StreamsDeliverIntactFramesInOrder) {
  auto sim = Add(0x3200);
  TestCamera& cam = Open(0x3200);
  ASSERT_EQ(cam.SetDataBits(0), 1u);
  // A reader slower than the camera never gets a frame twice.
  ASSERT_NO_FATAL_FAILURE(StreamFrames(cam, 1500, false, true));
  // A buffer smaller than the frame is refused, and says so.
  std::vector<uint8_t> small(640 * 512 - 1);
  cam.WaitFrame(3000);
  EXPECT_EQ(cam.GetFrame(small.data(), small.size(), 0, 0, 1), kFrameNotCopied);
  EXPECT_EQ(cam.StopCapture(), 1u);

  // 25 ms exposures in real time: far slower than the reader, which skips no tag.
  sim->SetSpeedUp(1);
  ASSERT_EQ(cam.SetExposureTime(250), 1u);
  ASSERT_NO_FATAL_FAILURE(StreamFrames(cam, 40, true, false));
  cam.StopCapture();
}

TEST_F(SimCam, FiveFailedFramesGiveUp) {
  auto sim = Add(0x3200);
  TestCamera& cam = Open(0x3200);
  ASSERT_EQ(cam.SetDataBits(0), 1u);
  sim->InjectShortPayloads(4);  // four torn frames are retried
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  uint32_t r = 0;
  for (int i = 0; i < 20 && (r = cam.WaitFrame(3000)) != kWaitNewFrame; ++i) ASSERT_NE(r, 1u);
  EXPECT_EQ(r, kWaitNewFrame);
  cam.StopCapture();
  sim->InjectShortPayloads(5);  // the fifth gives up
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  for (int i = 0; i < 20 && (r = cam.WaitFrame(3000)) == kWaitTimeout; ++i) {}
  EXPECT_EQ(r, kWaitTransferError);
  EXPECT_TRUE(cam.TransferError());
  cam.StopCapture();
}

TEST_F(SimCam, ExposureSettersAdjustTheFrameTimeoutAndWaitForTheTransferThread) {
  Add(0x3200);
  TestCamera& cam = Open(0x3200);
  EXPECT_EQ(cam.SetExposureTime(50000), 1u);
  EXPECT_EQ(cam.FrameTimeout(), 5000u);
  EXPECT_EQ(cam.SetExposureTime(50001), 1u);
  EXPECT_EQ(cam.FrameTimeout(), 10000u);
  cam.SetFrameTimeout(1234);
  cam.SetExposureTimeEx(2.0);
  EXPECT_EQ(cam.FrameTimeout(), 1234u);
  cam.SetExposureTimeEx(2.5);
  EXPECT_EQ(cam.FrameTimeout(), 3500u);

  // A new exposure waits for the transfer thread to apply it between frames.
  const uint32_t before = cam.GetExposureTime();
  ASSERT_EQ(cam.SetExposureTime(200), 1u);
  uint32_t pending = 0;
  EXPECT_TRUE(cam.PendingExposure(&pending));
  EXPECT_EQ(pending, 200u);
  EXPECT_EQ(cam.GetExposureTime(), before);
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  EXPECT_EQ(cam.WaitFrame(3000), kWaitNewFrame);
  cam.StopCapture();
  EXPECT_FALSE(cam.PendingExposure(nullptr));
  EXPECT_EQ(cam.GetExposureTime(), 200u);
}

// A second equal trigger mode sends nothing; in trigger mode the next-frame
// capture waits for the frame counter, frozen until a trigger.
TEST_F(SimCam, TriggerModeIsSentOnceAndNextFrameWaitsForTheTrigger) {
  auto sim = Add(0x3200);
  TestCamera& cam = Open(0x3200);
  sim->ClearLog();
  EXPECT_EQ(cam.SetTriggerMode(1, 0), 1u);
  EXPECT_FALSE(sim->Log().empty());
  EXPECT_EQ(sim->FpgaRegister(88), 1);
  sim->ClearLog();
  EXPECT_EQ(cam.SetTriggerMode(1, 0), 1u);
  EXPECT_TRUE(sim->Log().empty());
  EXPECT_EQ(cam.SetTriggerMode(1, 1), 1u);  // forced
  EXPECT_FALSE(sim->Log().empty());

  ASSERT_EQ(cam.StartCapture(kCaptureNextFrame), 1u);
  EXPECT_EQ(cam.WaitFrame(300), kWaitTimeout);
  EXPECT_EQ(cam.NextFrameCount(), 0u);
  ASSERT_TRUE(sim->Trigger());
  EXPECT_EQ(cam.WaitFrame(3000), kWaitNewFrame);
  EXPECT_EQ(cam.NextFrameCount(), 1u);
  cam.StopCapture();
}

TEST_F(SimCam, LevelValueGoesToItsTwoRegisters) {
  auto sim = Add(0x3260);
  TestCamera& cam = Model(0x3260);
  cam.OpenCamera(0);                   // the bring-up does not matter here
  EXPECT_EQ(cam.HasLevelValue(), 0u);  // the IMX990 driver has no readout speed
  cam.ReplaceSensor(std::make_unique<ReadoutSensor>(cam.Transport(), 0x48));
  ASSERT_EQ(cam.HasLevelValue(), 1u);
  EXPECT_EQ(cam.GetLevelValueMax(), 65535u);
  EXPECT_EQ(cam.SetLevelValue(0x1234), 1u);
  EXPECT_EQ(sim->FpgaRegister(208), 0x34);
  EXPECT_EQ(sim->FpgaRegister(210), 0x12);
  uint32_t v = 0;
  EXPECT_EQ(cam.GetLevelValue(&v), 1u);
  EXPECT_EQ(v, 0x1234u);
}

TEST_F(SimCam, GrabOneFrameFillsSlotZero) {
  auto sim = Add(0x3200);
  TestCamera& cam = Open(0x3200);
  ASSERT_EQ(cam.SetDataBits(0), 1u);
  EXPECT_EQ(cam.GrabOneFrame(), 0u);
  EXPECT_FALSE(cam.TransferError());
  std::vector<uint8_t> frame(640 * 512);
  EXPECT_EQ(cam.GetGrabbedFrame(nullptr, 0, 0, 0, 1), kGrabNoDestination);
  EXPECT_EQ(cam.GetGrabbedFrame(frame.data(), frame.size(), 0, 0, 1), kFrameCopied);
  const uint32_t tag = cam.Ring().Tag(0);
  const uint32_t exposure = sim->LastFrame().pattern.exposure;
  EXPECT_EQ(0, std::memcmp(frame.data(), TurnedRow(tag, exposure, 0, 640, 512).data(), 640));
}

TEST_F(SimCam, ExposureCounterIsNeverProgrammedByTwoThreadsAtOnce) {
  // The transfer thread applies the pending exposure while the application
  // re-applies it through a frame-rate change: the three bytes of the 24-bit
  // counter must always go out as one whole value.
  auto sim = Add(0x3200);
  TestCamera& cam = Open(0x3200);
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  sim->ClearLog();
  std::thread setter([&] {
    for (int i = 0; i < 400; ++i) {
      cam.SetExposureTime(i % 2 == 0 ? 100 : 70000);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  for (int i = 0; i < 400; ++i) {
    uint32_t rate = i % 2 == 0 ? 300 : 50;
    cam.AccessSensorParameter(0, 0, &rate);
    uint32_t lines = 0;
    cam.Sensor()->GetExposureLines(&lines);
  }
  setter.join();
  cam.StopCapture();

  std::vector<uint8_t> order;
  for (const sim::SimTransaction& t : sim->SerialLog(0x40)) {
    if (t.request == 0x40 && t.data.size() == 3 &&
        (t.data[0] == 133 || t.data[0] == 134 || t.data[0] == 155))
      order.push_back(t.data[0]);
  }
  ASSERT_GE(order.size(), 30u);
  for (size_t i = 0; i < order.size(); ++i)
    ASSERT_EQ(order[i], (std::array<uint8_t, 3>{133, 134, 155})[i % 3]) << "write " << i;
  uint32_t lines = 0;
  ASSERT_EQ(cam.Sensor()->GetExposureLines(&lines), 1u);
  EXPECT_EQ(sim->FpgaRegister(133) | sim->FpgaRegister(134) << 8 | sim->FpgaRegister(155) << 16,
            lines);
}

// A trigger-mode change that waits for the camera's first triggered frame
// must not hold the camera lock while it waits: a stop from another thread
// returns at once and ends the wait.
TEST_F(SimCam, StopFromAnotherThreadDoesNotWaitBehindTheTriggerChange) {
  auto sim = Add(0x3260);  // cooled family: waits for a first frame
  sim->SetFpgaVersion(0x0120);
  TestCamera& cam = Model(0x3260);
  cam.OpenCamera(0);  // the bring-up does not matter here
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

}  // namespace
}  // namespace vexcam
