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
  void SetUpCamera(uint16_t productId) {
    camera = scope.backend->Add(productId, "fake-1");
    transport = std::make_unique<CVexCy3Cam>();
    ASSERT_EQ(transport->EnumerateDevices(), 1u);
    ASSERT_EQ(transport->SelectDevice(0), 1u);
    ASSERT_EQ(transport->PrepareTransferBuffer(), 1u);
    camera->ClearLog();
  }
  void SetUp() override { SetUpCamera(0x3200); }

  // Control requests with this bRequest.
  std::vector<FakeControl> Requests(uint8_t request) {
    std::vector<FakeControl> out;
    for (auto& c : camera->Controls())
      if (c.request == request) out.push_back(c);
    return out;
  }

  // One control request as the camera saw it; `head` is the start of its data.
  static void ExpectRequest(const FakeControl& c, uint8_t type, uint8_t request, uint16_t value,
                            uint16_t index, std::vector<uint8_t> head = {}) {
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

  FakeBackendScope scope;
  std::shared_ptr<FakeCamera> camera;
  std::unique_ptr<CVexCy3Cam> transport;
};

}  // namespace vexcam::test
