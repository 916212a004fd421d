// Fault injection, unplug and the transaction log.
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

TEST_F(SimTest, TransactionLogRecordsTheWire) {
  auto d = Add(0x3200);
  camera->ClearLog();
  Frame f;
  ASSERT_TRUE(ReadFrame(*d, f));
  auto log = camera->Log();
  ASSERT_EQ(log.size(), 3u);  // 0xC2, header, one payload piece
  EXPECT_EQ(log[0].kind, SimTransaction::Kind::kControl);
  EXPECT_EQ(log[0].request, 0xC2);
  EXPECT_EQ(log[0].requestType, 0x42);
  EXPECT_EQ(log[1].kind, SimTransaction::Kind::kBulk);
  EXPECT_EQ(log[1].request, 0x81);
  EXPECT_EQ(log[1].transferred, 64u);
  EXPECT_EQ(log[1].data.size(), 16u);
  EXPECT_EQ(log[2].transferred, 640u * 512u);

  camera->EnableLog(false);
  ASSERT_TRUE(WriteFpga(*d, 7, 1));
  EXPECT_EQ(camera->Log().size(), 3u);
}

}  // namespace
}  // namespace vexcam::sim::test
