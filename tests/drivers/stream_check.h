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

// For frames without a number of their own: streams until `frames` copied
// frames of this width, origin and data width mode each equal (rows 0,
// middle, last) one of the last eight frames the camera sent.
inline void CheckRecentFrames(StreamCamera& cam, sim::SimCamera& sim, uint32_t bits, uint32_t x0,
                              uint32_t y0, uint32_t width, uint32_t frames) {
  ASSERT_EQ(cam.StartCapture(kCaptureContinuous), 1u);
  std::vector<uint8_t> frame(cam.FrameSize());
  uint32_t matched = 0;
  for (int i = 0; i < 30 && matched < frames; ++i) {
    uint32_t tag = 0;
    if (cam.WaitFrame(3000) != kWaitNewFrame ||
        cam.GetFrameEx(frame.data(), &tag, frame.size(), 0, 0, 0) != kFrameCopied)
      continue;
    sim::PatternFrame p = sim.LastFrame().pattern;
    ASSERT_EQ(p.width, width);
    ASSERT_EQ(p.bits, bits != 0 ? 16 : 8);
    EXPECT_EQ(p.x0, x0);
    EXPECT_EQ(p.y0, y0);
    ASSERT_EQ(frame.size(), size_t{p.width} * p.height * (bits != 0 ? 2 : 1));
    bool match = false;
    for (const uint32_t newest = p.tag; !match && p.tag > 0 && p.tag + 8 > newest; --p.tag) {
      match = true;
      for (uint32_t r : {0u, p.height / 2, p.height - 1}) {
        const std::vector<uint8_t> want = OrientedRow(p, 0, r);
        match = match && std::memcmp(&frame[r * want.size()], want.data(), want.size()) == 0;
      }
    }
    EXPECT_TRUE(match) << "no recent frame matches";
    matched += match;
  }
  EXPECT_EQ(matched, frames);
  EXPECT_EQ(cam.StopCapture(), 1u);
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
  for (uint32_t bits : e.wide ? std::vector<uint32_t>{0, 1} : std::vector<uint32_t>{0}) {
    SCOPED_TRACE(testing::Message() << "data width mode " << bits);
    ASSERT_EQ(cam->SetDataBits(bits), 1u);
    ASSERT_EQ(cam->ApplyCaptureSettings(), 1u);
    ASSERT_NO_FATAL_FAILURE(CheckFrames(*cam, *m.sim, e.orientation));
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
}

}  // namespace vexcam::test
