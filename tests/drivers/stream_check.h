#pragma once
// One product id through the camera device model against its simulated
// camera: open (factory, bring-up), the full window, each data width the
// product has, an exposure, temperature and cooling where the driver has
// them, a few frames of the driver's size in its orientation, close.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "sim/sim_backend.h"
#include "sim/test_pattern.h"

namespace vexcam::test {

struct StreamExpectation {
  uint16_t productId = 0;
  SensorDriver driver = SensorDriver::kCount;
  uint32_t modelNumber = 0;  // the driver's record after the factory
  uint32_t orientation = 0;
  bool wide = true;          // 16-bit frames too
  bool exposure = true;      // the exposure can be set (not on the converter)
  bool temperature = false;  // GetTemperature answers
  bool cooling = false;      // IsPeltierSupported
};

using StreamCamera = CVexCamUSB3K9SimpleSdk;

// Expected row r of the delivered frame: the pattern with the orientation
// word's reversals (flip flag 0).
inline std::vector<uint8_t> OrientedRow(const sim::PatternFrame& p, uint32_t orientation,
                                        uint32_t r) {
  const bool h = orientation == 2 || orientation == 4;
  const bool v = orientation != 3 && orientation != 4;
  const uint32_t bytes = p.bits > 8 ? 2 : 1;
  std::vector<uint8_t> row(size_t{p.width} * bytes);
  sim::FillPatternRow(p.tag, p.exposure, p.x0, p.y0 + (v ? p.height - 1 - r : r), p.width, p.bits,
                      row.data());
  if (h) {
    std::vector<uint8_t> out(row.size());
    for (uint32_t x = 0; x < p.width; ++x)
      std::memcpy(&out[size_t{x} * bytes], &row[size_t{p.width - 1 - x} * bytes], bytes);
    return out;
  }
  return row;
}

// Streams three frames and checks size, tag order and rows 0, middle, last.
inline void CheckFrames(StreamCamera& cam, sim::SimCamera& sim, uint32_t orientation) {
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  uint32_t delivered = 0, lastTag = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<uint8_t> frame;
  while (delivered < 3 && std::chrono::steady_clock::now() < deadline) {
    if (cam.WaitFrame(3000) != kWaitNewFrame) continue;
    // Size, exposure and origin stay as programmed while streaming; the tag
    // is the copied frame's own.
    sim::PatternFrame p = sim.LastFrame().pattern;
    const uint32_t bytes = p.bits > 8 ? 2 : 1;
    frame.assign(size_t{p.width} * p.height * bytes, 0);
    ASSERT_EQ(cam.FrameSize(), frame.size());
    uint32_t tag = 0;
    if (cam.GetFrameEx(frame.data(), &tag, frame.size(), 0, 0, 0) != kFrameCopied) continue;
    p.tag = tag;
    ASSERT_GT(tag, lastTag);
    lastTag = tag;
    for (uint32_t r : {0u, p.height / 2, p.height - 1}) {
      const std::vector<uint8_t> want = OrientedRow(p, orientation, r);
      ASSERT_EQ(0, std::memcmp(&frame[r * want.size()], want.data(), want.size()))
          << "row " << r << " of " << p.width << " x " << p.height << " x " << p.bits;
    }
    ++delivered;
  }
  EXPECT_EQ(delivered, 3u);
  EXPECT_EQ(cam.StopCapture(), 1u);
}

inline void StreamThroughDeviceModel(const StreamExpectation& e) {
  SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << e.productId);
  sim::SimBackend::Instance().RemoveAll();
  sim::SimBackend::Instance().Install(false);
  sim::SimBackend::Instance().SetSpeedUp(1000);
  std::shared_ptr<sim::SimCamera> sim = sim::SimBackend::Instance().AddCamera(e.productId);
  auto cam = std::make_unique<StreamCamera>();
  cam->SetProductId(e.productId);
  ASSERT_EQ(cam->CreateController(nullptr, nullptr), 1u);
  ASSERT_NE(cam->OpenCamera(0), 0u);
  ASSERT_EQ(cam->ChosenDriver(), e.driver);
  SensorInfo info{};
  ASSERT_EQ(cam->GetSensorInfo(&info), 1u);
  ASSERT_NE(cam->Sensor(), nullptr);
  EXPECT_EQ(cam->Sensor()->ModelNumber(), e.modelNumber);
  EXPECT_EQ(info.orientation, e.orientation);

  ASSERT_EQ(cam->SetCaptureArea(cam->GetEffectiveOriginX(), cam->GetEffectiveOriginY(),
                                cam->GetEffectiveWidth(), cam->GetEffectiveHeight(), 0),
            1u);
  uint32_t ok = 0;
  const uint32_t minimum = cam->GetExposureTimeMin(&ok);
  ASSERT_EQ(ok, 1u);
  if (e.exposure) {
    EXPECT_EQ(cam->SetExposureTime(std::max<uint32_t>(minimum, 10)), 1u);
  }
  // Temperature is read with the cooling on where there is cooling: some
  // drivers measure only then.
  EXPECT_EQ(cam->IsPeltierSupported(), e.cooling ? 1u : 0u);
  if (e.cooling) {
    EXPECT_EQ(cam->SetPeltier(1), 1u);
    EXPECT_EQ(cam->GetPeltier(), 1u);
  }
  if (e.temperature) {
    // A monitoring driver answers once its first reading is in.
    double t = cam->GetTemperature(&ok);
    for (int i = 0; i < 300 && ok != 1; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      t = cam->GetTemperature(&ok);
    }
    EXPECT_EQ(ok, 1u);
    EXPECT_GT(t, -60.0);
    EXPECT_LT(t, 90.0);
  }
  if (e.cooling) {
    EXPECT_EQ(cam->SetPeltier(0), 1u);
    EXPECT_EQ(cam->GetPeltier(), 0u);
  }
  for (uint32_t bits : e.wide ? std::vector<uint32_t>{0, 1} : std::vector<uint32_t>{0}) {
    SCOPED_TRACE(testing::Message() << "data width mode " << bits);
    ASSERT_EQ(cam->SetDataBits(bits), 1u);
    ASSERT_EQ(cam->ApplyCaptureSettings(), 1u);
    ASSERT_NO_FATAL_FAILURE(CheckFrames(*cam, *sim, e.orientation));
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
  cam.reset();
  sim::SimBackend::Instance().RemoveAll();
}

}  // namespace vexcam::test
