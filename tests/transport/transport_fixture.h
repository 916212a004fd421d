#pragma once
// A transport object on one selected camera, log cleared: a scripted fake
// camera (TransportTest) or a simulated ZA01 (SimTransportTest).

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "fake_usb_backend.h"
#include "sim/sim_backend.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::test {

// One control request as the camera saw it; `head` is the start of its data.
template <typename Request>
void ExpectRequest(const Request& c, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                   std::vector<uint8_t> head = {}) {
  EXPECT_EQ(c.requestType, type);
  EXPECT_EQ(c.request, request);
  EXPECT_EQ(c.value, value);
  EXPECT_EQ(c.index, index);
  EXPECT_EQ(c.length, 102);
  if (!head.empty()) {
    ASSERT_GE(c.data.size(), head.size());
    EXPECT_EQ(std::vector<uint8_t>(c.data.begin(), c.data.begin() + head.size()), head);
  }
}

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    camera = scope.backend->Add(0x3200, "fake-1");
    transport = std::make_unique<CVexCy3Cam>();
    ASSERT_EQ(transport->EnumerateDevices(), 1u);
    ASSERT_EQ(transport->SelectDevice(0), 1u);
    ASSERT_EQ(transport->PrepareTransferBuffer(), 1u);
    camera->ClearLog();
  }

  // Control requests with this bRequest.
  std::vector<FakeControl> Requests(uint8_t request) {
    std::vector<FakeControl> out;
    for (auto& c : camera->Controls())
      if (c.request == request) out.push_back(c);
    return out;
  }

  FakeBackendScope scope;
  std::shared_ptr<FakeCamera> camera;
  std::unique_ptr<CVexCy3Cam> transport;
};

class SimTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimBackend::Instance().RemoveAll();
    sim::SimBackend::Instance().Install(true);
    camera = sim::SimBackend::Instance().AddCamera(0x3200);
    camera->SetSpeedUp(1000);
    ASSERT_EQ(transport.EnumerateDevices(), 1u);
    ASSERT_EQ(transport.SelectDevice(0), 1u);
    ASSERT_EQ(transport.PrepareTransferBuffer(), 1u);
    camera->ClearLog();
  }
  void TearDown() override {
    sim::SimBackend::Instance().RemoveAll();
    usb::UsbHub::Instance().SetSimulator(nullptr, false);
  }

  // Log entries of one kind, control requests only with this bRequest.
  std::vector<sim::SimTransaction> Logged(sim::SimTransaction::Kind kind, int request = -1) {
    std::vector<sim::SimTransaction> out;
    for (auto& t : camera->Log())
      if (t.kind == kind && (request < 0 || t.request == request)) out.push_back(t);
    return out;
  }

  std::shared_ptr<sim::SimCamera> camera;
  CVexCy3Cam transport;
};

}  // namespace vexcam::test
