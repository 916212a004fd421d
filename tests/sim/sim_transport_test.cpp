// The transport over the simulated camera, where the camera's own behaviour
// matters: a read blocked in the camera, EEPROM access, failed bus
// transactions. The camera checks each request's type, wLength, count and
// bus address, so its serial log shows what the transport sent.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Serial = std::vector<std::pair<uint8_t, std::vector<uint8_t>>>;

Serial SerialOf(const SimCamera& camera) {
  Serial out;
  for (const SimTransaction& t : camera.SerialLog()) out.emplace_back(t.request, t.data);
  return out;
}

// A read blocked in the camera (no frame was requested) ends at once on an
// abort, and with ENODEV on an unplug. After an abort, reads that start
// before the stream is opened again fail without traffic.
TEST_F(SimTest, AbortAndUnplugEndABlockedReadAtOnce) {
  Add(0x3200);
  std::vector<uint8_t> buffer(1 << 20);
  FrameDescriptor frame;
  frame.destination = buffer.data();
  frame.capacity = 1 << 20;
  std::memcpy(frame.header + kHeaderPayloadOffset, &frame.capacity, 4);
  ASSERT_EQ(cam.OpenStream(), 1u);
  uint32_t result = 1;
  Clock::time_point returned;
  std::thread reader([&] {
    result = cam.ReadFramePayload(frame, 5000);
    returned = Clock::now();
  });
  std::this_thread::sleep_for(milliseconds(50));
  const auto aborted = Clock::now();
  EXPECT_EQ(cam.AbortStream(), 1u);
  reader.join();
  EXPECT_EQ(result, 0u);
  EXPECT_LT(returned - aborted, milliseconds(100));

  camera->ClearLog();
  EXPECT_EQ(cam.ReadFramePayload(frame, 5000), 0u);
  EXPECT_EQ(cam.ReadFrameHeader(frame), 0u);
  EXPECT_TRUE(camera->Log().empty());
  cam.CloseStream();
  ASSERT_EQ(cam.OpenStream(), 1u);
  ASSERT_EQ(cam.ReadFrameHeader(frame), 1u);
  EXPECT_EQ(cam.ReadFramePayload(frame, 5000), 1u);

  std::memcpy(frame.header + kHeaderPayloadOffset, &frame.capacity, 4);
  std::thread unplug([&] {
    std::this_thread::sleep_for(milliseconds(30));
    camera->Unplug();
  });
  const auto start = Clock::now();
  EXPECT_EQ(cam.ReadFramePayload(frame, 5000), 0u);
  unplug.join();
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
  EXPECT_EQ(cam.LastIoError(), static_cast<uint32_t>(ENODEV));
}

// Two address bytes, high first, then the data; each access waits for the
// EEPROM.
TEST_F(SimTest, TransportEepromByteAccessAddressesAndWaits) {
  Add(0x3200);
  camera->SetEepromByte(0x1040, 0x5A);
  camera->ClearLog();
  auto start = Clock::now();
  uint8_t value = 0;
  ASSERT_EQ(cam.ReadSromByte(0x1040, &value), 1u);
  EXPECT_GE(Clock::now() - start, milliseconds(10));
  EXPECT_EQ(value, 0x5A);
  start = Clock::now();
  ASSERT_EQ(cam.WriteSromByte(0x1080, 0x7E), 1u);
  EXPECT_GE(Clock::now() - start, milliseconds(14));
  EXPECT_EQ(camera->EepromByte(0x1080), 0x7E);
  EXPECT_EQ(SerialOf(*camera),
            (Serial{{0xA2, {0x10, 0x40}}, {0xA3, {0x5A}}, {0xA2, {0x10, 0x80, 0x7E}}}));
}

// A failed address write skips the read; a register the FPGA version could
// not read counts as 0 and the version is still given.
TEST_F(SimTest, TransportFailedRegisterReads) {
  Add(0x3200);
  camera->SetFpgaVersion(0x1B2C);
  uint16_t version = 0;
  ASSERT_EQ(cam.GetFpgaVersion(&version), 1u);
  EXPECT_EQ(version, 0x1B2C);
  camera->ClearLog();
  camera->InjectBusFailures(3);
  uint8_t value = 0;
  EXPECT_EQ(cam.ReadFpgaRegister(9, &value), 0u);
  EXPECT_EQ(cam.ReadAuxRegister(9, &value), 0u);
  EXPECT_EQ(SerialOf(*camera), (Serial{{0x40, {9}}, {0x5A, {9}}}));  // no read after either
  ASSERT_EQ(cam.GetFpgaVersion(&version), 1u);
  EXPECT_EQ(version, 0x2C);  // the high byte's address write failed
}

}  // namespace
}  // namespace vexcam::sim::test
