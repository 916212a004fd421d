// Refusals, fault injection, unplug and the EEPROM's addressing.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST_F(SimTest, BulkFaultsAffectExactlyTheNextTransfers) {
  auto d = Add(0x3200);
  uint8_t header[64];
  ASSERT_TRUE(RequestFrame(*d));

  camera->InjectBulkTimeouts(1);
  auto r = d->BulkTransfer(0x81, header, 64, 30);
  EXPECT_EQ(r.status, TransferStatus::kTimedOut);
  EXPECT_EQ(r.transferred, 0u);

  camera->InjectStalls(2);
  EXPECT_EQ(d->BulkTransfer(0x81, header, 64, 30).status, TransferStatus::kStalled);
  EXPECT_TRUE(d->ClearHalt(0x81));  // clears the second one

  camera->InjectBadStatus(1);
  r = d->BulkTransfer(0x81, header, 64, 500);
  EXPECT_EQ(r.status, TransferStatus::kCompleted);
  EXPECT_EQ(r.transferred, 64u);
  EXPECT_NE(r.deviceStatus, 0u);

  Frame f;
  EXPECT_TRUE(ReadFrame(*d, f));  // back to normal

  // Short payload: half arrives, the rest never does.
  camera->InjectShortPayloads(1);
  ASSERT_TRUE(RequestFrame(*d));
  ASSERT_EQ(d->BulkTransfer(0x81, header, 64, 500).status, TransferStatus::kCompleted);
  const uint32_t length = U32(header + 16);
  std::vector<uint8_t> payload(length);
  r = d->BulkTransfer(0x81, payload.data(), length, 500);
  EXPECT_EQ(r.transferred, length / 2);
  EXPECT_EQ(d->BulkTransfer(0x81, payload.data(), length, 30).status, TransferStatus::kTimedOut);
  EXPECT_TRUE(ReadFrame(*d, f));
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

TEST_F(SimTest, BusAndEepromFaults) {
  auto d = Add(0x3200);
  camera->InjectBusFailures(2);
  uint8_t v = 0;
  EXPECT_FALSE(ReadFpga(*d, 16, &v));  // address write fails
  EXPECT_FALSE(WriteFpga(*d, 7, 1));
  EXPECT_TRUE(ReadFpga(*d, 16, &v));
  EXPECT_EQ(v, 1);

  camera->InjectEepromWriteLoss(1);
  ASSERT_TRUE(BusWrite(*d, 0xA2, {0x10, 0x80, 0x5C}));  // acknowledged ...
  EXPECT_EQ(camera->EepromByte(0x1080), 0xFF);          // ... but not stored
  ASSERT_TRUE(BusWrite(*d, 0xA2, {0x10, 0x80, 0x5C}));
  EXPECT_EQ(camera->EepromByte(0x1080), 0x5C);
}

TEST_F(SimTest, UnplugFailsEverythingAndReplugKeepsThePath) {
  auto d = Add(0x3200);
  const std::string path = camera->Path();
  camera->SetEepromByte(0x1080, 0x42);
  ASSERT_TRUE(WriteFpga(*d, 7, 0x99));
  usb::TransferResult r;
  Clock::time_point returned;
  std::thread reader([&] {
    uint8_t buf[64];
    r = d->BulkTransfer(0x81, buf, 64, 5000);
    returned = Clock::now();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const auto unplugged = Clock::now();
  camera->Unplug();
  reader.join();
  EXPECT_EQ(r.status, TransferStatus::kNoDevice);
  EXPECT_LT(returned - unplugged, std::chrono::milliseconds(100));

  uint8_t v = 0;
  EXPECT_FALSE(ReadFpga(*d, 7, &v));
  EXPECT_FALSE(d->CancelPending(0x81));
  uint32_t speed = 0;
  EXPECT_FALSE(d->GetSpeed(&speed));
  EXPECT_TRUE(SimBackend::Instance().Enumerate().empty());
  EXPECT_EQ(SimBackend::Instance().Open(path), nullptr);
  EXPECT_FALSE(camera->Trigger());

  camera->Replug();
  const auto listed = SimBackend::Instance().Enumerate();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].path, path);
  EXPECT_FALSE(ReadFpga(*d, 7, &v));  // the old handle stays dead
  auto fresh = SimBackend::Instance().Open(path);
  ASSERT_NE(fresh, nullptr);
  ASSERT_TRUE(ReadFpga(*fresh, 7, &v));
  EXPECT_EQ(v, 0);                              // power-on value
  EXPECT_EQ(camera->EepromByte(0x1080), 0x42);  // EEPROM survives
  ASSERT_TRUE(fresh->GetSpeed(&speed));
  EXPECT_EQ(speed, 4u);
}

}  // namespace
}  // namespace vexcam::sim::test
