// Refusals, fault injection, unplug and the EEPROM. Stalls and refused
// wLengths through libusb: tests/usbmock; bus failures: TransportFailedRegisterReads.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

TEST_F(SimTest, BulkFaultsAffectExactlyTheNextTransfers) {
  auto d = Add(0x3200);
  uint8_t header[64];
  ASSERT_TRUE(cam.SendFrameRequest(d.get()));
  camera->InjectBulkTimeouts(1);
  auto r = d->BulkTransfer(0x81, header, 64, 30);
  EXPECT_EQ(r.status, TransferStatus::kTimedOut);
  EXPECT_EQ(r.transferred, 0u);

  camera->InjectBadStatus(1);  // the data still moves
  r = d->BulkTransfer(0x81, header, 64, 500);
  EXPECT_EQ(r.status, TransferStatus::kCompleted);
  EXPECT_EQ(r.transferred, 64u);
  EXPECT_NE(r.deviceStatus, 0u);

  FrameDescriptor f;
  std::vector<uint8_t> payload;
  EXPECT_TRUE(ReadFrame(f, payload));  // back to normal

  // Short payload: half arrives, the rest never does.
  camera->InjectShortPayloads(1);
  ASSERT_TRUE(cam.SendFrameRequest(d.get()));
  ASSERT_EQ(d->BulkTransfer(0x81, header, 64, 500).status, TransferStatus::kCompleted);
  const uint32_t length = LoadLe32(header + kHeaderPayloadOffset);
  payload.resize(length);
  r = d->BulkTransfer(0x81, payload.data(), length, 500);
  EXPECT_EQ(r.transferred, length / 2);
  EXPECT_EQ(d->BulkTransfer(0x81, payload.data(), length, 30).status, TransferStatus::kTimedOut);
  EXPECT_TRUE(ReadFrame(f, payload));
}

TEST_F(SimTest, MalformedRequestsFail) {
  auto d = Add(0x3200);
  uint8_t buf[102] = {};
  auto vendor = [&](uint8_t type, uint8_t request, uint16_t value, uint16_t index) {
    return d->ControlTransfer(type, request, value, index, buf, sizeof buf, 3000);
  };
  EXPECT_LT(vendor(0x40, 0x30, 65, 0x40), 0);  // more than 64 bytes
  EXPECT_LT(vendor(0x40, 0x30, 0, 0x40), 0);   // nothing to send
  EXPECT_LT(vendor(0x40, 0x30, 2, 0x70), 0);   // nobody at 0x70
  EXPECT_LT(vendor(0x40, 0xB0, 0, 0), 0);      // wrong direction
  EXPECT_LT(d->ControlTransfer(0x40, 0x3C, 0, 0, nullptr, 4, 3000), 0);
  uint8_t junk[32] = {'X'};  // neither a memory read nor a write command
  EXPECT_EQ(d->BulkTransfer(0x01, junk, 32, 3000).status, TransferStatus::kStalled);
}

// The serial number is in the EEPROM; its address pointer moves on with each
// byte read, within and across reads (addressing:
// TransportEepromByteAccessAddressesAndWaits).
TEST_F(SimTest, EepromHoldsTheSerialNumberAndLosesInjectedWrites) {
  Add(0x3200);
  const uint8_t address[2] = {0x10, 0x40};
  ASSERT_TRUE(cam.WriteSerialBus(0xA2, address, 2, 3000));
  uint8_t serial[13] = {};
  ASSERT_TRUE(cam.ReadSerialBus(0xA3, serial, 12, 3000));
  ASSERT_TRUE(cam.ReadSerialBus(0xA3, serial + 12, 1, 3000));
  EXPECT_EQ(std::string(serial, serial + 12), "SIM3200-0001");
  EXPECT_EQ(serial[12], 0xFF);

  camera->InjectEepromWriteLoss(1);
  const uint8_t write[3] = {0x10, 0x80, 0x5C};
  ASSERT_TRUE(cam.WriteSerialBus(0xA2, write, 3, 3000));  // acknowledged ...
  EXPECT_EQ(camera->EepromByte(0x1080), 0xFF);            // ... but not stored
  ASSERT_TRUE(cam.WriteSerialBus(0xA2, write, 3, 3000));
  EXPECT_EQ(camera->EepromByte(0x1080), 0x5C);
}

// A blocked read ending on the unplug: AbortAndUnplugEndABlockedReadAtOnce.
TEST_F(SimTest, UnplugFailsEverythingAndReplugKeepsThePath) {
  auto d = Add(0x3200);
  const std::string path = camera->Path();
  camera->SetEepromByte(0x1080, 0x42);
  ASSERT_TRUE(cam.WriteFpgaRegister(7, 0x99));
  camera->Unplug();
  uint8_t buf[102] = {};
  EXPECT_EQ(d->BulkTransfer(0x81, buf, 64, 100).status, TransferStatus::kNoDevice);
  EXPECT_LT(d->ControlTransfer(0xC0, 0xB0, 0, 0, buf, 102, 3000), 0);
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
  EXPECT_LT(d->ControlTransfer(0xC0, 0xB0, 0, 0, buf, 102, 3000), 0);  // the old handle stays dead
  auto fresh = SimBackend::Instance().Open(path);
  ASSERT_NE(fresh, nullptr);
  uint8_t v = 0;
  ASSERT_TRUE(cam.ReadFpgaRegister(7, &v));
  EXPECT_EQ(v, 0);                              // power-on value
  EXPECT_EQ(camera->EepromByte(0x1080), 0x42);  // EEPROM survives
  ASSERT_TRUE(fresh->GetSpeed(&speed));
  EXPECT_EQ(speed, 4u);
}

}  // namespace
}  // namespace vexcam::sim::test
