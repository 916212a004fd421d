// The fixture itself: a driver reaches its simulated camera and the log
// decodes what it wrote.
#include "driver_fixture.h"
#include "sensors/sensor_mt9f001.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

TEST_F(DriverTest, FallbackDriverProgramsItsSimulatedSensor) {
  Attach(0x3020);
  CSensorMT9F001 sensor(transport.get(), 0x20);
  EXPECT_EQ(sensor.CheckSensor(), 1u);
  EXPECT_EQ(sensor.SetGlobalGain(200), 1u);
  const auto writes = SensorWrites(0x20, 2);
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back(), (RegWrite{0x305E, 0x1148}));
  EXPECT_EQ(camera->SensorRegister(0x305E), 0x1148);
}

TEST(DeviceModelStream, TargetCameraStreamsInItsOrientation) {
  StreamThroughDeviceModel({.productId = 0x3200,
                            .driver = SensorDriver::kZA01,
                            .modelNumber = 99,
                            .orientation = 4,
                            .cooling = true});
}

}  // namespace
}  // namespace vexcam::test
