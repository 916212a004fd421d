// The 2448 x 2048 / 2048 x 1536 global-shutter group against its simulated
// cameras: the frame-length and shutter rules, the window program, the clamps
// (the register plans' write order and window registers: conversions_test).
#include <array>
#include <vector>

#include "driver_fixture.h"
#include "sensors/sensor_imx250.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

class PregiusTest : public DriverTest {
 protected:
  std::vector<RegWrite> Writes() const { return SensorWrites(kBus, 1); }
  uint32_t Pair(uint16_t low) const { return SensorLE(low, 2); }
  uint32_t FrameRegisters() const { return SensorLE(528, 3) & 0xFFFFF; }
};

TEST_F(PregiusTest, ShutterWhileTheFrameHoldsTheExposureElseTheFrameGrows) {
  Attach(0x31B0);
  CSensorIMX250 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 0), 1u);  // frame 2094 lines
  camera->ClearLog();
  // 2094 - 1000 = 0x446 lines of shutter.
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{
                          {530, 0}, {529, 8}, {528, 0x2E}, {653, 0x46}, {654, 4}, {655, 0}}));
  // Closer than 10 lines to the frame: the frame takes the line count and the
  // shutter drops to 10 (the lines grew by at least 10).
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(2090), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{
                          {530, 0}, {529, 8}, {528, 0x2A}, {653, 10}, {654, 0}, {655, 0}}));
  // Growing by less than 10 lines leaves the shutter alone.
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(2093), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{{530, 0}, {529, 8}, {528, 0x2D}}));
  // Above the maximum the line count is the maximum.
  ASSERT_EQ(s.SetExposureLines(5000000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1048575u);
  EXPECT_EQ(FrameRegisters(), 1048575u);
  // Back inside the frame: the frame returns to the window's length.
  ASSERT_EQ(s.SetExposureLines(94), 1u);
  EXPECT_EQ(FrameRegisters(), 2094u);
  EXPECT_EQ(Pair(653), 2000u);
}

TEST_F(PregiusTest, ExposureTimeConvertsWithTheLineTimeAndClampsToTheLineRange) {
  Attach(0x31B4);
  CSensorIMX264 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(1000), 1u);  // 1000 / 0.0773422 lines
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 12929u);
  // 65535 lines at most: the stored time is that of the maximum.
  ASSERT_EQ(s.SetExposureTime(7000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 65535u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 5068u);
  ASSERT_EQ(s.SetExposureTime(0), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1u);
  // 16-bit data doubles the line, and with it the time limits.
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(Pair(532), 1164u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 10137u);
}

TEST_F(PregiusTest, WindowStoresTheAlignedAreaAndItsFrameAndTheTwoByTwoMode) {
  Attach(0x31B0);
  CSensorIMX250 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(5, 1000, 7, 602, 0), 1u);
  uint32_t frame = 0;
  EXPECT_EQ(AreaOf(s), (Area{8, 992, 8, 600, 0}));
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 646u);
  EXPECT_EQ(FrameRegisters(), 1582u);  // the default 1582 lines outgrow this frame

  // Full width: only the height is marked cropped.
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 100, 1000, 0), 1u);
  EXPECT_EQ(camera->SensorRegister(1280), 2);

  // The 2 x 2 mode halves the image and keeps the short line in 16 bits.
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 1), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(AreaOf(s), (Area{0, 1224, 0, 1024, 1}));
  EXPECT_EQ(camera->SensorRegister(525), 17);
  EXPECT_EQ(Pair(532), 582u);
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 1066u);

  // Outside the array after alignment: refused, nothing stored.
  EXPECT_EQ(s.SetCaptureArea(2433, 16, 0, 4, 0), 0u);
  EXPECT_EQ(AreaOf(s), (Area{0, 1224, 0, 1024, 1}));
}

// The sequencer start's wait for the bus: RollingShutterTest and Imx174Test.
TEST_F(PregiusTest, StartupLeavesStandbyWithTheDefaults) {
  Attach(0x31C0);
  CSensorIMX252 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(camera->SensorRegister(512), 0);
  EXPECT_EQ(camera->SensorRegister(514), 0);
  EXPECT_EQ(camera->SensorRegister(516), 64);  // the default gain
}

}  // namespace
}  // namespace vexcam::test
