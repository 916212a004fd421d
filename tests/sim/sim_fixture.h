#pragma once
// A simulated camera and a transport object selected on it: the transport
// speaks the camera's protocol (tests/transport checks its wire encoding),
// raw requests go through a device handle.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_backend.h"
#include "sim/sim_camera.h"
#include "sim/test_pattern.h"
#include "transport/usb_hub.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::sim::test {

using usb::IUsbDevice;
using usb::TransferStatus;

// Plain reference: the payload of a frame built sample by sample.
inline std::vector<uint8_t> Reference(const PatternFrame& p) {
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < p.height; ++y)
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint16_t v = PatternSample(p.tag, p.exposure, p.x0 + x, p.y0 + y, p.bits);
      out.push_back(static_cast<uint8_t>(v));
      if (p.bits > 8) out.push_back(static_cast<uint8_t>(v >> 8));
    }
  return out;
}

class SimTest : public ::testing::Test {
 protected:
  // The simulator is the only backend during the test; the hub is left as found.
  void SetUp() override {
    SimBackend::Instance().RemoveAll();
    before_ = usb::UsbHub::Instance().Simulator();
    exclusiveBefore_ = usb::UsbHub::Instance().Exclusive();
    SimBackend::Instance().Install(true);
  }
  void TearDown() override {
    SimBackend::Instance().RemoveAll();
    usb::UsbHub::Instance().SetSimulator(before_, exclusiveBefore_);
  }

  // Adds a camera (unpaced unless told otherwise), selects it in `cam` and
  // opens a handle on it.
  std::unique_ptr<IUsbDevice> Add(uint16_t productId, uint32_t speedUp = 1000) {
    camera = SimBackend::Instance().AddCamera(productId);
    camera->SetSpeedUp(speedUp);
    EXPECT_EQ(cam.SelectDevice(cam.EnumerateDevices() - 1), 1u);
    EXPECT_EQ(cam.PrepareTransferBuffer(), 1u);
    return SimBackend::Instance().Open(camera->Path());
  }

  // A frame request, the header and the whole payload.
  bool ReadFrame(FrameDescriptor& f, std::vector<uint8_t>& payload) {
    if (!cam.ReadFrameHeader(f)) return false;
    payload.assign(LoadLe32(f.header + kHeaderPayloadOffset), 0);
    f.destination = payload.data();
    f.capacity = static_cast<uint32_t>(payload.size());
    return cam.ReadFramePayload(f, 2000) != 0;
  }

  std::shared_ptr<SimCamera> camera;
  CVexCy3Cam cam;

 private:
  std::shared_ptr<usb::IUsbBackend> before_;
  bool exclusiveBefore_ = false;
};

}  // namespace vexcam::sim::test
