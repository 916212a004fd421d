#pragma once
// A transport object on one selected fake camera, log cleared.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "fake_usb_backend.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::test {

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

}  // namespace vexcam::test
