#pragma once
// One product id through the camera device model against its simulated
// camera: open (factory, bring-up), the full window, an exposure,
// temperature and cooling where the driver has them, a few frames of the
// driver's size in its orientation at 8 and 16 bits, close.

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

// This product's simulated camera, alone, and the camera device model opened
// on it; both go when it goes.
struct DeviceModel {
  std::shared_ptr<sim::SimCamera> sim;
  std::unique_ptr<StreamCamera> cam;
  void Open(uint16_t productId) {
    cam.reset();
    sim::SimBackend::Instance().RemoveAll();
    sim::SimBackend::Instance().Install(false);
    sim::SimBackend::Instance().SetSpeedUp(1000);
    sim = sim::SimBackend::Instance().AddCamera(productId);
    cam = std::make_unique<StreamCamera>();
    cam->SetProductId(productId);
    ASSERT_EQ(cam->CreateController(nullptr, nullptr), 1u);
    ASSERT_NE(cam->OpenCamera(0), 0u);
  }
  ~DeviceModel() {
    cam.reset();
    sim::SimBackend::Instance().RemoveAll();
  }
};

// Whether rows 0, middle and last of the frame are those of the pattern.
inline bool RowsMatch(const std::vector<uint8_t>& frame, const sim::PatternFrame& p,
                      uint32_t orientation) {
  for (uint32_t r : {0u, p.height / 2, p.height - 1}) {
    const std::vector<uint8_t> want = OrientedRow(p, orientation, r);
    if (std::memcmp(&frame[r * want.size()], want.data(), want.size()) != 0) return false;
  }
  return true;
}

// The shape of frames that carry no number of their own: each copied one
// must then equal one of the last eight frames the camera sent.
struct Untagged {
  uint32_t bits, x0, y0, width;
};

// Streams `frames` frames and checks their size, their tag order (or shape)
// and their rows 0, middle and last.
inline void CheckFrames(StreamCamera& cam, sim::SimCamera& sim, uint32_t orientation,
                        uint32_t frames = 3, const Untagged* untagged = nullptr) {
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  uint32_t delivered = 0, lastTag = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<uint8_t> frame;
  while (delivered < frames && std::chrono::steady_clock::now() < deadline) {
    if (cam.WaitFrame(3000) != kWaitNewFrame) continue;
    // Size, exposure and origin stay as programmed while streaming.
    sim::PatternFrame p = sim.LastFrame().pattern;
    frame.assign(size_t{p.width} * p.height * (p.bits > 8 ? 2 : 1), 0);
    ASSERT_EQ(cam.FrameSize(), frame.size());
    uint32_t tag = 0;
    if (cam.GetFrameEx(frame.data(), &tag, frame.size(), 0, 0, 0) != kFrameCopied) continue;
    bool match = false;
    if (untagged == nullptr) {  // the tag is the copied frame's own
      ASSERT_GT(tag, lastTag);
      p.tag = lastTag = tag;
      match = RowsMatch(frame, p, orientation);
    } else {
      p = sim.LastFrame().pattern;
      ASSERT_EQ(p.width, untagged->width);
      ASSERT_EQ(p.bits, untagged->bits != 0 ? 16 : 8);
      EXPECT_EQ(p.x0, untagged->x0);
      EXPECT_EQ(p.y0, untagged->y0);
      for (const uint32_t newest = p.tag; !match && p.tag > 0 && p.tag + 8 > newest; --p.tag)
        match = RowsMatch(frame, p, 0);
    }
    ASSERT_TRUE(match) << p.width << " x " << p.height << " x " << p.bits << ", tag " << tag;
    ++delivered;
  }
  EXPECT_EQ(delivered, frames);
  EXPECT_EQ(cam.StopCapture(), 1u);
}

inline void StreamThroughDeviceModel(const StreamExpectation& e) {
  SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << e.productId);
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(e.productId));
  StreamCamera* cam = m.cam.get();
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
  for (uint32_t bits : {0u, 1u}) {
    SCOPED_TRACE(testing::Message() << "data width mode " << bits);
    ASSERT_EQ(cam->SetDataBits(bits), 1u);
    ASSERT_EQ(cam->ApplyCaptureSettings(), 1u);
    ASSERT_NO_FATAL_FAILURE(CheckFrames(*cam, *m.sim, e.orientation));
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
}

}  // namespace vexcam::test
