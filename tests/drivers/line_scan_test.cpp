// The line-scan cameras against their simulated cameras.
#include "driver_fixture.h"
#include "sensors/sensor_line_scan.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

TEST_F(DriverTest, LineScanStartsWithSixtyFourLinesOfTheFullWidth) {
  Attach(0x3210);
  CSensorZA10 sensor(transport.get(), 0x20);
  EXPECT_EQ(sensor.Info().arrayHeight, 32768u);
  EXPECT_EQ(sensor.Info().effectiveHeight, sensor.Info().effectiveWidth);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  EXPECT_EQ(sensor.Info().areaWidth, 2048u);
  EXPECT_EQ(sensor.Info().areaHeight, 64u);
  // Any image length up to the array height, not one line more.
  EXPECT_EQ(sensor.SetCaptureArea(0, 2048, 0, 32768, 0), 1u);
  EXPECT_EQ(sensor.SetCaptureArea(0, 2048, 1, 32768, 0), 0u);
  EXPECT_EQ(sensor.SetCaptureArea(0, 2049, 0, 64, 0), 0u);
  EXPECT_EQ(sensor.Info().areaHeight, 32768u);
}

TEST_F(DriverTest, LineScanExposureTimeIsTheLineCount) {
  Attach(0x31D0);
  CSensorZA13 sensor(transport.get(), 0x20);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  auto counter = [&] {
    return camera->FpgaRegister(133) | camera->FpgaRegister(134) << 8 |
           camera->FpgaRegister(155) << 16;
  };
  EXPECT_EQ(counter(), 3000);
  uint32_t v = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTimeMin), 136u);
  ASSERT_EQ(sensor.SetExposureTime(10), 1u);  // clamped to the minimum
  EXPECT_EQ(counter(), 136);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 136u);
  ASSERT_EQ(sensor.SetExposureTime(4000), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 4000u);
  EXPECT_EQ(sensor.SetExposureLines(5040), 0u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 4000u);
}

TEST_F(DriverTest, LineScanTriggerAndCapabilities) {
  Attach(0x3190);
  CSensorZA12 sensor(transport.get(), 0x20);
  ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
  uint32_t mode = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetTriggerMode), 1u);
  EXPECT_EQ(camera->FpgaRegister(88) & 1, 1);
  ASSERT_EQ(sensor.SetTriggerMode(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(88) & 1, 0);
  EXPECT_EQ(sensor.IsSubSampleSupported(), 0u);
  EXPECT_EQ(CSensorZA11(nullptr, 0x20).IsSubSampleSupported(), 0u);
  EXPECT_EQ(CSensorZA10(nullptr, 0x20).IsSubSampleSupported(), 1u);
  // The others leave the trigger to the camera device model.
  EXPECT_EQ(CSensorZA10(transport.get(), 0x20).SetTriggerMode(1), 0u);
}

TEST(DeviceModelStream, LineScanCamerasStream) {
  StreamThroughDeviceModel({.productId = 0x3210, .driver = SensorDriver::kZA10});
  StreamThroughDeviceModel({.productId = 0x31A0, .driver = SensorDriver::kZA11});
  StreamThroughDeviceModel({.productId = 0x3190, .driver = SensorDriver::kZA12});
  StreamThroughDeviceModel({.productId = 0x31D0, .driver = SensorDriver::kZA13});
}

}  // namespace
}  // namespace vexcam::test
