// The cooled FPGA-run camera against its simulated camera: the cooler's
// set-point and thermistor readings through FPGA registers 80..84.
#include "driver_fixture.h"
#include "sensors/sensor_g1467x.h"
#include "sensors/thermistor.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

TEST_F(DriverTest, CoolingTargetRoundTripsThroughTheCooler) {
  Attach(0x3220);
  CSensorG1467x sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  ASSERT_EQ(sensor.SetPeltier(1), 1u);
  for (int32_t target : {-20, 0, 15, 25}) {
    SCOPED_TRACE(target);
    camera->ClearLog();
    ASSERT_EQ(sensor.SetCoolingTarget(target), 1u);
    const uint16_t code = *thermistor::CodeOfTemperature(target);
    EXPECT_EQ(
        FpgaWrites(),
        (std::vector<RegWrite>{
            {80, uint32_t{code} & 0xFFu}, {83, uint32_t{code} >> 8u}, {84, 0}, {82, 0}, {82, 1}}));
    int32_t back = 99;
    ASSERT_EQ(sensor.GetCoolingTarget(&back), 1u);
    // The code is truncated, so the whole degrees come back within one.
    EXPECT_NEAR(back, target, 1);
  }
  // Absolute zero is no target; the stored one stays.
  EXPECT_EQ(sensor.SetCoolingTarget(-274), 0u);
  EXPECT_EQ(sensor.StoredCoolingTarget(), 25);
}

TEST_F(DriverTest, TemperatureOnlyWhileCoolingAndTargetKeptWhileOff) {
  Attach(0x3220);
  CSensorG1467x sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  double t = 0;
  EXPECT_EQ(sensor.GetPeltier(), 0u);
  EXPECT_EQ(sensor.GetTemperature(&t), 0u);
  // While off the target is only stored; switching on programs it.
  camera->ClearLog();
  ASSERT_EQ(sensor.SetCoolingTarget(-10), 1u);
  EXPECT_EQ(LastValue(FpgaWrites(), 80), -1);
  ASSERT_EQ(sensor.SetPeltier(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(81), 1);
  EXPECT_EQ(LastValue(FpgaWrites(), 80), *thermistor::CodeOfTemperature(-10) & 0xFF);
  ASSERT_EQ(sensor.GetTemperature(&t), 1u);
  EXPECT_NEAR(t, -10.0, 1.0);
  EXPECT_EQ(sensor.GetTemperature(nullptr), 0u);
  // Only exactly 1 switches on.
  ASSERT_EQ(sensor.SetPeltier(2), 1u);
  EXPECT_EQ(camera->FpgaRegister(81), 0);
  EXPECT_EQ(sensor.GetTemperature(&t), 0u);
  CSensorG1467x idle(nullptr, 0x6C);
  EXPECT_EQ(idle.SetPeltier(1), 0u);
  int32_t target = 0;
  EXPECT_EQ(idle.GetCoolingTarget(&target), 0u);
}

TEST(DeviceModelStream, CooledFpgaCameraStreams) {
  StreamThroughDeviceModel({.productId = 0x3220,
                            .driver = SensorDriver::kG1467x,
                            .modelNumber = 105,
                            .orientation = 2,
                            .temperature = true,
                            .cooling = true});
}

}  // namespace
}  // namespace vexcam::test
