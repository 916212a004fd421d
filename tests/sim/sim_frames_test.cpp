// The frame path: geometry, pacing and the command blocks.
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

using Clock = std::chrono::steady_clock;

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
