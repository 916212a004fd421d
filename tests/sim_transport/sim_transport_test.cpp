// The transport against the simulated camera: what goes on the wire, frames
// end to end, and stopping a blocked read.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "sim/sim_backend.h"
#include "transport/usb_hub.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class SimTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& sim = sim::SimBackend::Instance();
    sim.RemoveAll();
    sim.SetSpeedUp(1000);
    camera = sim.AddCamera(0x3200);
    sim.Install(true);
    transport = std::make_unique<CVexCy3Cam>();
    ASSERT_EQ(transport->EnumerateDevices(), 1u);
    ASSERT_EQ(transport->SelectDevice(0), 1u);
    ASSERT_EQ(transport->PrepareTransferBuffer(), 1u);
    camera->ClearLog();
  }
  void TearDown() override {
    transport.reset();
    sim::SimBackend::Instance().RemoveAll();
    usb::UsbHub::Instance().SetSimulator(nullptr, false);
  }

  std::shared_ptr<sim::SimCamera> camera;
  std::unique_ptr<CVexCy3Cam> transport;
};

TEST_F(SimTransportTest, FpgaRegistersOnTheSerialBus) {
  ASSERT_EQ(transport->WriteFpgaRegister(50, 0x12), 1u);
  EXPECT_EQ(camera->FpgaRegister(50), 0x12);
  auto log = camera->SerialLog(0x40);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].data, (std::vector<uint8_t>{50, 0x00, 0x12}));
  camera->SetFpgaRegister(9, 0x5A);
  uint8_t value = 0;
  ASSERT_EQ(transport->ReadFpgaRegister(9, &value), 1u);
  EXPECT_EQ(value, 0x5A);
  camera->SetFpgaVersion(0x1B07);
  uint16_t version = 0;
  ASSERT_EQ(transport->GetFpgaVersion(&version), 1u);
  EXPECT_EQ(version, 0x1B07);
}

TEST_F(SimTransportTest, EepromBytesRoundTrip) {
  ASSERT_EQ(transport->WriteSromByte(0x1080, 0x3C), 1u);
  EXPECT_EQ(camera->EepromByte(0x1080), 0x3C);
  camera->SetSerialNumber("Q1");
  uint8_t value = 0;
  ASSERT_EQ(transport->ReadSromByte(0x1041, &value), 1u);
  EXPECT_EQ(value, '1');
}

TEST_F(SimTransportTest, MemoryRoundTripThroughCommands) {
  std::vector<uint8_t> out(5000);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(transport->WriteMemory(0x2000, out.data(), 5000), 1u);
  std::vector<uint8_t> in(5000, 0);
  ASSERT_EQ(transport->ReadMemory(0x2000, in.data(), 5000), 1u);
  EXPECT_EQ(in, out);
}

TEST_F(SimTransportTest, FrameHeaderAndPayloadArrive) {
  std::vector<uint8_t> buffer(2 << 20);
  FrameDescriptor frame;
  frame.destination = buffer.data();
  frame.capacity = static_cast<uint32_t>(buffer.size());
  ASSERT_EQ(transport->OpenStream(), 1u);
  ASSERT_EQ(transport->ReadFrameHeader(frame), 1u);
  ASSERT_EQ(transport->ReadFramePayload(frame, 3000), 1u);
  uint32_t length = 0;
  std::memcpy(&length, frame.header + kHeaderPayloadOffset, 4);
  const sim::SimFrameInfo info = camera->LastFrame();
  ASSERT_TRUE(info.valid);
  EXPECT_EQ(length, info.payloadBytes);
  EXPECT_GT(length, 0u);
  transport->CloseStream();
}

TEST_F(SimTransportTest, InjectedDeviceStatusFailsTheHeaderAttempt) {
  camera->InjectBadStatus(1);
  FrameDescriptor frame;
  ASSERT_EQ(transport->OpenStream(), 1u);
  ASSERT_EQ(transport->ReadFrameHeader(frame), 1u);  // the second attempt succeeds
  size_t frameRequests = 0;
  size_t strobes = 0;
  for (auto& t : camera->Log()) {
    if (t.kind == sim::SimTransaction::Kind::kControl && t.request == 0xC2) ++frameRequests;
    if (t.kind == sim::SimTransaction::Kind::kSerial && t.request == 0x40 && t.data.size() == 3 &&
        t.data[0] == 108)
      ++strobes;
  }
  EXPECT_EQ(frameRequests, 2u);
  EXPECT_EQ(strobes, 2u);  // 108 = 1, then 0
}

TEST_F(SimTransportTest, AbortReturnsABlockedPayloadReadQuickly) {
  std::vector<uint8_t> buffer(1 << 20);
  FrameDescriptor frame;
  frame.destination = buffer.data();
  frame.capacity = static_cast<uint32_t>(buffer.size());
  const uint32_t length = 1 << 20;
  std::memcpy(frame.header + kHeaderPayloadOffset, &length, 4);
  ASSERT_EQ(transport->OpenStream(), 1u);  // no frame requested: the read waits
  uint32_t result = 1;
  Clock::time_point returned;
  std::thread reader([&] {
    result = transport->ReadFramePayload(frame, 5000);
    returned = Clock::now();
  });
  std::this_thread::sleep_for(milliseconds(50));
  const auto aborted = Clock::now();
  transport->AbortStream();
  reader.join();
  EXPECT_EQ(result, 0u);
  EXPECT_LT(returned - aborted, milliseconds(100));
}

TEST_F(SimTransportTest, UnplugFailsAndReplugKeepsTheRecord) {
  camera->Unplug();
  uint8_t value = 0;
  EXPECT_EQ(transport->ReadFpgaRegister(1, &value), 0u);
  EXPECT_EQ(transport->EnumerateDevices(), 1u);
  camera->Replug();
  EXPECT_EQ(transport->EnumerateDevices(), 1u);
  EXPECT_EQ(transport->IsDeviceOpenable(0), 1u);
  EXPECT_EQ(transport->ReadFpgaRegister(1, &value), 1u);
}

}  // namespace
}  // namespace vexcam::test
