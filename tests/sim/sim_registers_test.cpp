// Serial-bus devices and vendor requests of the simulated camera.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

TEST_F(SimTest, FpgaRegisterWriteAndReadUseTheWireProtocol) {
  auto d = Add(0x3200);
  camera->ClearLog();
  ASSERT_TRUE(WriteFpga(*d, 7, 0x12));
  EXPECT_EQ(camera->FpgaRegister(7), 0x12);
  const auto log = camera->SerialLog(0x40);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].data, (std::vector<uint8_t>{7, 0, 0x12}));

  // A 2-byte read after the address write returns {register, value}.
  ASSERT_TRUE(BusWrite(*d, 0x40, {7}));
  uint8_t two[2] = {};
  ASSERT_TRUE(BusRead(*d, 0x41, 2, two));
  EXPECT_EQ(two[0], 7);
  EXPECT_EQ(two[1], 0x12);

  // FPGA version 0x0100 by default, configurable, and read-only on the bus.
  uint8_t hi = 0, lo = 0;
  ASSERT_TRUE(ReadFpga(*d, 16, &hi) && ReadFpga(*d, 17, &lo));
  EXPECT_EQ((hi << 8) | lo, 0x0100);
  camera->SetFpgaVersion(0x00FF);
  ASSERT_TRUE(WriteFpga(*d, 16, 0x55));
  ASSERT_TRUE(ReadFpga(*d, 16, &hi) && ReadFpga(*d, 17, &lo));
  EXPECT_EQ((hi << 8) | lo, 0x00FF);
}

TEST_F(SimTest, EepromHoldsTheSerialNumberWithTwoByteAddressing) {
  auto d = Add(0x3200);
  ASSERT_TRUE(BusWrite(*d, 0xA2, {0x10, 0x40}));
  std::string serial;
  for (int i = 0; i < 33; ++i) {
    uint8_t b = 0;
    ASSERT_TRUE(BusRead(*d, 0xA3, 1, &b));  // the address advances per byte
    if (b == 0xFF) break;
    serial.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(serial, "SIM3200-0001");

  ASSERT_TRUE(BusWrite(*d, 0xA2, {0xFE, 0xDC, 0xAB}));
  EXPECT_EQ(camera->EepromByte(0xFEDC), 0xAB);
  EXPECT_EQ(camera->EepromByte(0xDCFE), 0xFF);
  ASSERT_TRUE(BusWrite(*d, 0xA2, {0xFE, 0xDC}));
  uint8_t b = 0;
  ASSERT_TRUE(BusRead(*d, 0xA3, 1, &b));
  EXPECT_EQ(b, 0xAB);
}

TEST_F(SimTest, AuxiliaryAndSensorRegisterFiles) {
  auto d = Add(0x3200);
  ASSERT_TRUE(BusWrite(*d, 0x5A, {9, 0x77}));
  ASSERT_TRUE(BusWrite(*d, 0x5A, {9}));
  uint8_t b = 0;
  ASSERT_TRUE(BusRead(*d, 0x5B, 1, &b));
  EXPECT_EQ(b, 0x77);

  // ZA01's sensor at 0x48: 8-bit values behind a 16-bit address.
  ASSERT_TRUE(BusWrite(*d, 0x48, {0x30, 0x12, 0x5A}));
  ASSERT_TRUE(BusWrite(*d, 0x48, {0x30, 0x12}));
  ASSERT_TRUE(BusRead(*d, 0x49, 1, &b));
  EXPECT_EQ(b, 0x5A);

  // A 16-bit register sensor (fallback family) at 0x20: big-endian words,
  // register 0 identifies the chip.
  auto g = Add(0x3020);
  uint8_t w[2] = {};
  ASSERT_TRUE(BusWrite(*g, 0x20, {0x00, 0x00}));
  ASSERT_TRUE(BusRead(*g, 0x21, 2, w));
  EXPECT_NE(w[0] | w[1], 0);
  camera->SetSensorRegister(0, 0x2E01);
  ASSERT_TRUE(BusWrite(*g, 0x20, {0x00, 0x00}));
  ASSERT_TRUE(BusRead(*g, 0x21, 2, w));
  EXPECT_EQ(w[0], 0x2E);
  EXPECT_EQ(w[1], 0x01);
  ASSERT_TRUE(BusWrite(*g, 0x20, {0x30, 0x12, 0x0D, 0x66}));
  EXPECT_EQ(camera->SensorRegister(0x3012), 0x0D66);
}

TEST_F(SimTest, MalformedRequestsFail) {
  auto d = Add(0x3200);
  uint8_t buf[128] = {};
  EXPECT_LT(d->ControlTransfer(0x40, 0x30, 65, 0x40, buf, 128, 3000), 0);  // more than 64 bytes
  EXPECT_LT(Vendor(*d, 0x40, 0x30, 0, 0x40, buf), 0);                      // nothing to send
  EXPECT_FALSE(BusWrite(*d, 0x70, {1, 2}));                                // nobody at 0x70
  EXPECT_LT(Vendor(*d, 0x40, 0xB0, 0, 0, buf), 0);                         // wrong direction
  EXPECT_LT(Vendor(*d, 0xC0, 0x99, 0, 0, buf), 0);                         // unknown request
  EXPECT_LT(d->ControlTransfer(0x40, 0x3C, 0, 0, nullptr, 4, 3000), 0);
  // The firmware stalls any wLength but the request record's 102 bytes.
  EXPECT_LT(d->ControlTransfer(0xC0, 0xB0, 0, 0, buf, 64, 3000), 0);
  EXPECT_EQ(d->ControlTransfer(0xC0, 0xB0, 0, 0, buf, 102, 3000), 64);
}

TEST_F(SimTest, InformationBlocksAndStatus) {
  auto d = Add(0x3200);
  uint8_t buf[64] = {};
  ASSERT_EQ(Vendor(*d, 0xC0, 0xB0, 0, 0, buf), 64);
  EXPECT_EQ(U32(buf + 24), 0x1101u);
  camera->SetFirmwareVersion(0x1100);
  ASSERT_EQ(Vendor(*d, 0xC0, 0xB0, 0, 0, buf), 64);
  EXPECT_EQ(U32(buf + 24), 0x1100u);
  ASSERT_EQ(Vendor(*d, 0xC0, 0xB1, 0, 0, buf), 64);
  ASSERT_EQ(Vendor(*d, 0xC0, 0xC3, 0, 0, buf), 64);
  EXPECT_EQ(buf[0], 1);
  // Controller words and the command byte keep what was written.
  buf[0] = 0x78;
  buf[1] = 0x56;
  buf[2] = 0x34;
  buf[3] = 0x12;
  ASSERT_GE(Vendor(*d, 0x40, 0xD0, 1, 0x0123, buf), 0);
  ASSERT_EQ(Vendor(*d, 0xC0, 0xD1, 0, 0x8123, buf), 64);
  EXPECT_EQ(buf[0] | buf[1] << 8, 0x5678);
  buf[0] = 1;
  ASSERT_GE(Vendor(*d, 0x40, 0x3C, 0, 0, buf), 0);
  buf[0] = 0;
  ASSERT_EQ(Vendor(*d, 0xC0, 0x3D, 0, 0, buf), 1);
  EXPECT_EQ(buf[0], 1);
}

TEST_F(SimTest, TemperatureFallsWhileCooling) {
  auto d = Add(0x3200, 1);
  camera->SetSpeedUp(1000);  // 20 s time constant becomes 20 ms
  auto readCelsius = [&] {
    uint8_t lo = 0, hi = 0;
    EXPECT_TRUE(ReadFpga(*d, 4, &lo) && ReadFpga(*d, 5, &hi));
    const uint32_t sample = (hi << 8) | lo;
    EXPECT_LE(hi, 15);
    EXPECT_GE(sample, 512u);
    const double v = sample * 3.3 * 0.000244140625;
    return (0.75 - ((v - 0.07 - 2.5) / 20.1 + 0.865 + 0.015)) / 0.00133 + 49.607;
  };
  EXPECT_NEAR(readCelsius(), 25.0, 0.5);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_NEAR(readCelsius(), 25.0, 0.5);  // no cooling: stays at ambient
  ASSERT_TRUE(WriteFpga(*d, 151, 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const double cooled = readCelsius();
  EXPECT_LT(cooled, 5.0);
  EXPECT_GT(cooled, -10.5);
  EXPECT_NEAR(cooled, camera->Temperature(), 1.0);
  ASSERT_TRUE(WriteFpga(*d, 151, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_GT(readCelsius(), cooled + 5.0);
}

}  // namespace
}  // namespace vexcam::sim::test
