// The frame path: geometry and pacing (memory commands: usbmock
// MemoryWritesAndReadsRoundTripInSeveralPieces).
#include "sim_fixture.h"

namespace vexcam::sim::test {
namespace {

using Clock = std::chrono::steady_clock;
using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

TEST_F(SimTest, WindowRegistersSetTheFrameSizeAndOrigin) {
  Add(0x3200);
  // The half window of the ZA01 driver: 320 x 240 at (160, 136).
  for (auto [reg, value] :
       Writes{{68, 64}, {69, 1}, {64, 240}, {65, 0}, {136, 34}, {84, 64}, {85, 1}})
    ASSERT_TRUE(cam.WriteFpgaRegister(reg, value));
  FrameDescriptor f;
  std::vector<uint8_t> payload;
  ASSERT_TRUE(ReadFrame(f, payload));
  ASSERT_EQ(payload.size(), 320u * 240u);
  const PatternFrame p{
      .tag = f.tag, .exposure = 510, .x0 = 160, .y0 = 136, .width = 320, .height = 240};
  EXPECT_EQ(payload, Reference(p));

  // A generic camera without window registers sends its full effective size,
  // then follows registers 68/69 and 64/65.
  Add(0x3280);
  ASSERT_TRUE(ReadFrame(f, payload));
  EXPECT_EQ(payload.size(), 640u * 512u);
  for (auto [reg, value] : Writes{{68, 100}, {69, 0}, {64, 30}, {65, 0}})
    ASSERT_TRUE(cam.WriteFpgaRegister(reg, value));
  ASSERT_TRUE(ReadFrame(f, payload));
  EXPECT_EQ(payload.size(), 3000u);
}

TEST_F(SimTest, FrameRateFollowsExposureAndSpeedUp) {
  Add(0x3200, 10);
  // 6818 lines of 7.33 us = 50 ms exposure, 5 ms at speed-up 10.
  ASSERT_TRUE(cam.WriteFpgaRegister(133, 6818 & 0xFF) && cam.WriteFpgaRegister(134, 6818 >> 8));
  const uint64_t period = camera->FramePeriodNs();
  EXPECT_NEAR(static_cast<double>(period), 5.0e6, 0.1e6);
  FrameDescriptor f;
  std::vector<uint8_t> payload;
  ASSERT_TRUE(ReadFrame(f, payload));
  const auto start = Clock::now();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(ReadFrame(f, payload));
  // Frames keep to a fixed schedule, so a late first read shortens the wait
  // for the next one: allow up to a period of slack.
  EXPECT_GE(Clock::now() - start, std::chrono::nanoseconds(3 * period));

  // The free-running frame counter (register 8) advances with the period.
  uint8_t a = 0, b = 0;
  ASSERT_TRUE(cam.ReadFpgaRegister(8, &a));
  std::this_thread::sleep_for(std::chrono::milliseconds(12));
  ASSERT_TRUE(cam.ReadFpgaRegister(8, &b));
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace vexcam::sim::test
