// Wire encoding of the vendor requests and the controller operations (over
// the simulated camera: tests/sim/sim_transport_test.cpp).
#include "transport_fixture.h"

namespace vexcam::test {
namespace {

TEST_F(TransportTest, SerialBusRefusesBadCountsWithoutTraffic) {
  uint8_t bytes[300] = {};
  EXPECT_EQ(transport->WriteSerialBus(0x20, bytes, 65, 3000), 0u);
  EXPECT_EQ(transport->WriteSerialBus(0x20, bytes, 256 + 4, 3000), 0u);  // would wrap as u8
  EXPECT_EQ(transport->WriteSerialBus(0x20, bytes, 0, 3000), 0u);
  EXPECT_EQ(transport->ReadSerialBus(0x20, bytes, 65, 3000), 0u);
  EXPECT_EQ(transport->WriteSerialBus(0x20, nullptr, 4, 3000), 0u);
  EXPECT_TRUE(camera->Controls().empty());
  EXPECT_EQ(transport->WriteSerialBus(0x20, bytes, 64, 3000), 1u);
}

// Reads hand out data only when the camera sent enough of it.
TEST_F(TransportTest, ReadRequestsCheckTheReturnedLength) {
  int answer = 64;
  camera->answer = [&](const FakeControl&, uint8_t* d) {
    d[0] = 0x34;
    d[1] = 0x12;
    return answer;
  };
  uint32_t word = 99;
  uint8_t block[64];
  uint8_t status = 0;
  ASSERT_EQ(transport->ReadControllerWord(0x55, &word), 1u);
  EXPECT_EQ(word, 0x1234u);
  ASSERT_EQ(transport->ReadControllerValue(0x66, &word), 1u);
  EXPECT_EQ(word, 0x1234u);
  EXPECT_EQ(camera->Controls().back().value, 0x66);
  EXPECT_EQ(transport->ReadDeviceInfoA(block), 1u);
  EXPECT_EQ(transport->ReadStatusByte(&status), 1u);
  EXPECT_EQ(status, 0x34);

  answer = 63;  // blocks A/B and the status byte need all 64 bytes
  EXPECT_EQ(transport->ReadDeviceInfoA(block), 0u);
  EXPECT_EQ(transport->ReadDeviceInfoB(block), 0u);
  EXPECT_EQ(transport->ReadStatusByte(&status), 0u);
  ASSERT_EQ(transport->ReadControllerWord(0x55, &word), 1u);
  EXPECT_EQ(word, 0u);  // request succeeded but the value is not taken
  answer = 1;           // a serial read needs as many bytes as it asked for
  uint8_t bytes[2] = {0xEE, 0xEE};
  EXPECT_EQ(transport->ReadSerialBus(0x48, bytes, 2, 3000), 0u);
  EXPECT_EQ(bytes[0], 0xEE);
  ASSERT_EQ(transport->ReadSerialBus(0x48, bytes, 1, 3000), 1u);
  EXPECT_EQ(bytes[0], 0x34);
  EXPECT_EQ(camera->Controls().back().index, 0x49);  // read address = address | 1
  answer = 0;
  EXPECT_EQ(transport->ReadCommandByte(&status), 0u);
  EXPECT_EQ(transport->ReadControllerValue(0x66, &word), 0u);
}

TEST_F(TransportTest, SelectDeviceOfUnknownIndexKeepsTheSelection) {
  ASSERT_EQ(transport->OpenStream(), 1u);
  EXPECT_EQ(transport->SelectDevice(5), 0u);
  EXPECT_FALSE(transport->IsStreamOpen());  // closed first
  EXPECT_EQ(transport->SelectedIndex(), 0u);
  EXPECT_EQ(transport->SelectedProductId(), 0x3200);
  EXPECT_EQ(camera->openHandles, 0);
}

TEST_F(TransportTest, UnpluggedCameraFailsEveryRequestAtOnce) {
  scope.backend->Remove(camera);
  uint8_t value = 0;
  EXPECT_EQ(transport->WriteFpgaRegister(1, 1), 0u);
  EXPECT_EQ(transport->ReadFpgaRegister(1, &value), 0u);
  EXPECT_EQ(transport->OpenStream(), 0u);
  EXPECT_EQ(transport->IsDeviceOpenable(0), 0u);
  EXPECT_EQ(transport->DeviceCount(), 1u);  // the record stays
}

}  // namespace
}  // namespace vexcam::test
