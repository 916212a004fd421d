// The 1936 x 1096 Sony-channel camera against its simulated head.
#include <typeinfo>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_za19.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;
constexpr uint16_t kHold = 0x3008;

TEST(ZA19Factory, ClassModelNumberAndCapabilities) {
  auto za19 = CreateSensor(0x32B0, nullptr);
  ASSERT_NE(za19, nullptr);
  EXPECT_TRUE(typeid(*za19) == typeid(CSensorZA19));
  EXPECT_EQ(za19->ModelNumber(), 61u);
  EXPECT_EQ(za19->Info().orientation, 4u);
  EXPECT_EQ(za19->IsExposureTimeExSupported(), 1u);
}

TEST_F(DriverTest, ZA19FrameUnderTheHoldAndExposureClamps) {
  Attach(0x32B0);
  CSensorZA19 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 1936, 0, 1096, 0), 1u);  // frame 1134
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  // 1134 = 0x46E, shutter 134.
  const std::vector<RegWrite> held = {{kHold, 1},    {0x3050, 0x6E}, {0x3051, 4}, {0x3052, 0},
                                      {0x3058, 134}, {0x3059, 0},    {0x305A, 0}, {kHold, 0}};
  EXPECT_EQ(SensorWrites(kBus, 1), held);
  uint32_t lines = 0, time = 0;
  ASSERT_EQ(s.SetExposureTimeEx(0.5), 1u);  // 42 us lines
  EXPECT_EQ(s.GetExposureLines(&lines), 1u);
  EXPECT_EQ(lines, 11904u);
  ASSERT_EQ(s.SetExposureTime(700000), 1u);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 600000u);
  ASSERT_EQ(s.SetExposureTime(0), 1u);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 1u);
  EXPECT_EQ(s.GetExposureLines(&lines), 1u);
  EXPECT_EQ(lines, 2u);  // 0.1 ms of 42 us lines
  ASSERT_EQ(s.SetTriggerMode(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(88), 1);
}

TEST(ZA19Stream, StreamsThroughTheDeviceModel) {
  ASSERT_NO_FATAL_FAILURE(StreamThroughDeviceModel(
      {.productId = 0x32B0, .driver = SensorDriver::kZA19, .modelNumber = 61, .orientation = 4}));
}

}  // namespace
}  // namespace vexcam::test
