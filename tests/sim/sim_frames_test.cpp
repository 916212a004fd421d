// The frame path: header, payload, geometry, data width, pacing, trigger.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST_F(SimTest, FramesCarryTheHeaderAndTheMovingPattern) {
  auto d = Add(0x3200);
  Frame f;
  uint32_t lastTag = 0;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(ReadFrame(*d, f));
    EXPECT_EQ(f.Length(), 640u * 512u);
    if (i > 0) {
      EXPECT_EQ(f.Tag(), lastTag + 1);
    }
    lastTag = f.Tag();
    const PatternFrame p{.tag = f.Tag(), .exposure = 510, .width = 640, .height = 512, .bits = 8};
    ASSERT_EQ(f.payload, Reference(p)) << "frame " << i;
  }
}

TEST_F(SimTest, WindowRegistersSetTheFrameSizeAndOrigin) {
  auto d = Add(0x3200);
  // The half window of the ZA01 driver: 320 x 240 at (160, 136).
  for (auto [reg, value] : std::vector<std::pair<uint8_t, uint8_t>>{
           {68, 64}, {69, 1}, {64, 240}, {65, 0}, {136, 34}, {84, 64}, {85, 1}})
    ASSERT_TRUE(WriteFpga(*d, reg, value));
  Frame f;
  ASSERT_TRUE(ReadFrame(*d, f));
  ASSERT_EQ(f.Length(), 320u * 240u);
  const PatternFrame p{
      .tag = f.Tag(), .exposure = 510, .x0 = 160, .y0 = 136, .width = 320, .height = 240};
  EXPECT_EQ(f.payload, Reference(p));

  // A generic camera without window registers sends its full effective size,
  // then follows registers 68/69 and 64/65.
  auto g = Add(0x3280);
  ASSERT_TRUE(ReadFrame(*g, f));
  EXPECT_EQ(f.Length(), 640u * 512u);
  for (auto [reg, value] :
       std::vector<std::pair<uint8_t, uint8_t>>{{68, 100}, {69, 0}, {64, 30}, {65, 0}})
    ASSERT_TRUE(WriteFpga(*g, reg, value));
  ASSERT_TRUE(ReadFrame(*g, f));
  EXPECT_EQ(f.Length(), 3000u);
}

TEST_F(SimTest, SixteenBitDataWidthAndExposureBrightness) {
  auto d = Add(0x3200);
  ASSERT_TRUE(WriteFpga(*d, 60, 2));
  // Exposure counter 133/134/155 = 0x000500 lines.
  ASSERT_TRUE(WriteFpga(*d, 133, 0x00) && WriteFpga(*d, 134, 0x05) && WriteFpga(*d, 155, 0x00));
  Frame bright;
  ASSERT_TRUE(ReadFrame(*d, bright));
  ASSERT_EQ(bright.Length(), 640u * 512u * 2u);
  PatternFrame p{.tag = bright.Tag(), .exposure = 0x500, .width = 640, .height = 512, .bits = 16};
  EXPECT_EQ(bright.payload, Reference(p));

  ASSERT_TRUE(WriteFpga(*d, 134, 0x00) && WriteFpga(*d, 133, 0x40));
  Frame dim;
  ASSERT_TRUE(ReadFrame(*d, dim));
  uint64_t sumBright = 0, sumDim = 0;
  for (size_t i = 1; i < dim.payload.size(); i += 2) {
    sumBright += bright.payload[i];
    sumDim += dim.payload[i];
  }
  EXPECT_LT(sumDim * 4, sumBright);
}

TEST_F(SimTest, FrameRateFollowsExposureAndSpeedUp) {
  auto d = Add(0x3200, 10);
  // 6818 lines of 7.33 us = 50 ms exposure, 5 ms at speed-up 10.
  ASSERT_TRUE(WriteFpga(*d, 133, 6818 & 0xFF) && WriteFpga(*d, 134, 6818 >> 8));
  const uint64_t period = camera->FramePeriodNs();
  EXPECT_NEAR(static_cast<double>(period), 5.0e6, 0.1e6);
  Frame f;
  ASSERT_TRUE(ReadFrame(*d, f));
  const auto start = Clock::now();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ReadFrame(*d, f));
  // Frames keep to a fixed schedule, so a late first read shortens the wait
  // for the next one: allow up to a period of slack.
  EXPECT_GE(Clock::now() - start, std::chrono::nanoseconds(3 * period));

  // The free-running frame counter (register 8) advances with the period.
  uint8_t a = 0, b = 0;
  ASSERT_TRUE(ReadFpga(*d, 8, &a));
  std::this_thread::sleep_for(std::chrono::milliseconds(12));
  ASSERT_TRUE(ReadFpga(*d, 8, &b));
  EXPECT_NE(a, b);
}

TEST_F(SimTest, TriggerModeDeliversOneFramePerTrigger) {
  auto d = Add(0x3200);
  EXPECT_FALSE(camera->Trigger());  // free run: nothing to trigger
  ASSERT_TRUE(WriteFpga(*d, 88, 1));
  uint8_t counter = 0, after = 0;
  ASSERT_TRUE(ReadFpga(*d, 8, &counter));
  ASSERT_TRUE(RequestFrame(*d));
  uint8_t header[64];
  EXPECT_EQ(d->BulkTransfer(0x81, header, 64, 50).status, TransferStatus::kTimedOut);

  std::thread trigger([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    camera->Trigger();
  });
  const auto r = d->BulkTransfer(0x81, header, 64, 2000);
  trigger.join();
  ASSERT_EQ(r.status, TransferStatus::kCompleted);
  ASSERT_TRUE(ReadFpga(*d, 8, &after));
  EXPECT_EQ(static_cast<uint8_t>(counter + 1), after);
  std::vector<uint8_t> payload(U32(header + 16));
  ASSERT_EQ(
      d->BulkTransfer(0x81, payload.data(), static_cast<uint32_t>(payload.size()), 100).transferred,
      payload.size());
  // No second frame without a second trigger.
  ASSERT_TRUE(RequestFrame(*d));
  EXPECT_EQ(d->BulkTransfer(0x81, header, 64, 50).status, TransferStatus::kTimedOut);
  ASSERT_TRUE(camera->Trigger());
  EXPECT_EQ(d->BulkTransfer(0x81, header, 64, 50).status, TransferStatus::kCompleted);
}

TEST_F(SimTest, AlternateEndpointAndCommandReadProducts) {
  // 0x3042: no header, payload on 0x83; 16 bits through command byte 1,
  // geometry from the sensor's output size registers.
  auto alt = Add(0x3042);
  camera->SetSensorRegister(0x034C, 64);
  camera->SetSensorRegister(0x034E, 8);
  uint8_t one[64] = {1};
  ASSERT_GE(Vendor(*alt, 0x40, 0x3C, 0, 0, one), 0);
  ASSERT_TRUE(RequestFrame(*alt));
  std::vector<uint8_t> buf(64 * 8 * 2);
  auto r = alt->BulkTransfer(0x83, buf.data(), static_cast<uint32_t>(buf.size()), 500);
  ASSERT_EQ(r.status, TransferStatus::kCompleted);
  ASSERT_EQ(r.transferred, buf.size());
  EXPECT_EQ(
      buf,
      Reference({.tag = camera->LastFrame().pattern.tag, .width = 64, .height = 8, .bits = 16}));

  // 0x3340: "QU3R" at address 0 returns the frame padded to the byte count.
  auto cmd = Add(0x3340);
  for (auto [reg, value] :
       std::vector<std::pair<uint8_t, uint8_t>>{{68, 64}, {69, 0}, {64, 32}, {65, 0}})
    camera->SetFpgaRegister(reg, value);
  uint8_t block[32] = {'Q', 'U', '3', 'R', 2};
  block[16] = 0x00;
  block[17] = 0x80;  // 32768 bytes
  ASSERT_EQ(cmd->BulkTransfer(0x01, block, 32, 3000).status, TransferStatus::kCompleted);
  std::vector<uint8_t> data(32768, 0xEE);
  r = cmd->BulkTransfer(0x81, data.data(), 32768, 500);
  ASSERT_EQ(r.transferred, 32768u);
  const auto ref = Reference({.tag = camera->LastFrame().pattern.tag, .width = 64, .height = 32});
  EXPECT_TRUE(std::equal(ref.begin(), ref.end(), data.begin()));
  EXPECT_TRUE(std::all_of(data.begin() + ref.size(), data.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(SimTest, MemoryWriteAndReadThroughCommandBlocks) {
  auto d = Add(0x3200);
  uint8_t block[32] = {'Q', 'U', '3', 'W', 2};
  block[8] = 0x00;
  block[9] = 0x10;  // address 0x1000
  block[16] = 8;
  ASSERT_EQ(d->BulkTransfer(0x01, block, 32, 3000).status, TransferStatus::kCompleted);
  uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(d->BulkTransfer(0x01, data, 8, 3000).transferred, 8u);
  block[3] = 'R';
  ASSERT_EQ(d->BulkTransfer(0x01, block, 32, 3000).status, TransferStatus::kCompleted);
  uint8_t back[8] = {};
  ASSERT_EQ(d->BulkTransfer(0x81, back, 8, 500).transferred, 8u);
  EXPECT_EQ(0, std::memcmp(back, data, 8));
  uint8_t junk[32] = {'X'};
  EXPECT_EQ(d->BulkTransfer(0x01, junk, 32, 3000).status, TransferStatus::kStalled);
}

}  // namespace
}  // namespace vexcam::sim::test
