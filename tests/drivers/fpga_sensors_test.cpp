// The FPGA-run area cameras (ZA02, ZA03) and the two small CMOS cameras
// (ZA05, ZA15) against their simulated cameras.
#include <cmath>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_fpga_cmos.h"
#include "sensors/sensor_g1467x.h"
#include "sensors/sensor_line_scan.h"
#include "sensors/sensor_za05.h"
#include "sensors/sensor_za15.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

template <typename T>
bool Is(const std::unique_ptr<CSensorBase>& s) {
  return dynamic_cast<T*>(s.get()) != nullptr;
}

TEST(FpgaSensorFactory, EveryProductGetsItsClassAndModelNumber) {
  EXPECT_TRUE(Is<CSensorZA02>(CreateSensor(0x3170, nullptr)));
  EXPECT_TRUE(Is<CSensorZA03>(CreateSensor(0x3150, nullptr)));
  EXPECT_TRUE(Is<CSensorZA05>(CreateSensor(0x3140, nullptr)));
  EXPECT_TRUE(Is<CSensorZA10>(CreateSensor(0x3210, nullptr)));
  EXPECT_TRUE(Is<CSensorZA11>(CreateSensor(0x31A0, nullptr)));
  EXPECT_TRUE(Is<CSensorZA12>(CreateSensor(0x3190, nullptr)));
  EXPECT_TRUE(Is<CSensorZA13>(CreateSensor(0x31D0, nullptr)));
  const auto g = CreateSensor(0x3220, nullptr);
  ASSERT_TRUE(Is<CSensorG1467x>(g));
  EXPECT_EQ(g->ModelNumber(), 105u);
  for (uint32_t id : {0x3170u, 0x3150u, 0x3140u, 0x3210u, 0x31A0u, 0x3190u, 0x31D0u}) {
    EXPECT_EQ(CreateSensor(id, nullptr)->ModelNumber(), 0u) << std::hex << id;
  }
}

TEST_F(DriverTest, FpgaRegisterChannelIsEightBitAndWindowsProgramTheOrigin) {
  Attach(0x3170);
  CSensorZA02 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  // Sensor registers are FPGA registers: nothing on the sensor bus.
  EXPECT_TRUE(SensorWrites(0x6C, 1).empty());
  EXPECT_EQ(sensor.WriteSensorRegister(200, 0x5A), 1u);
  EXPECT_EQ(camera->FpgaRegister(200), 0x5A);
  uint32_t v = 0;
  EXPECT_EQ(sensor.ReadSensorRegister(200, &v), 1u);
  EXPECT_EQ(v, 0x5Au);
  EXPECT_EQ(sensor.WriteSensorRegister(256, 1), 0u);
  EXPECT_EQ(sensor.WriteSensorRegister(1, 256), 0u);

  camera->ClearLog();
  ASSERT_EQ(sensor.SetCaptureArea(264, 48, 1, 200, 0), 1u);
  const auto w = FpgaWrites();
  EXPECT_EQ(LastValue(w, 96), 8);  // 264 low, high
  EXPECT_EQ(LastValue(w, 97), 1);
  EXPECT_EQ(LastValue(w, 98), 1);
  EXPECT_EQ(LastValue(w, 108), 0);                           // the update strobe fell again
  EXPECT_EQ(sensor.SetCaptureArea(264, 64, 0, 256, 0), 0u);  // 8 columns too wide
  EXPECT_EQ(sensor.SetCaptureArea(0, 320, 0xFFFFFFFFu, 2, 0), 0u);
  EXPECT_EQ(sensor.Info().areaX, 264u);
}

TEST_F(DriverTest, FpgaExposureCountsPixelClocksAndClampsTheTime) {
  Attach(0x3150);
  CSensorZA03 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  auto counter = [&] {
    return camera->FpgaRegister(133) | camera->FpgaRegister(134) << 8 |
           camera->FpgaRegister(155) << 16;
  };
  EXPECT_EQ(counter(), 62499);  // the default 10 ms at 6.25 MHz
  ASSERT_EQ(sensor.SetExposureTime(20000), 1u);
  uint32_t t = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 10000u);
  EXPECT_EQ(counter(), 6249999);
  EXPECT_EQ(sensor.SetGlobalGain(256), 0u);
  EXPECT_EQ(sensor.SetGlobalGain(255), 1u);
  EXPECT_EQ(camera->FpgaRegister(CFpgaRegisterSensor::kRegGain), 255);
}

TEST_F(DriverTest, SecondsRecordClampsProgramsAndStoresTheRealTime) {
  Attach(0x3150);
  CSensorZA03 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.IsExposureTimeExSupported(), 1u);
  ASSERT_EQ(sensor.SetExposureTimeEx(0.25), 1u);
  double s = 0;
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 0.25);
  uint32_t t = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 2500u);
  uint32_t lines = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 1562499u);
  ASSERT_EQ(sensor.SetExposureTimeEx(50.0), 1u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 1.0);
  ASSERT_EQ(sensor.SetExposureTimeEx(std::nan("")), 1u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 0.0001);
  // ZA02 has no seconds record.
  CSensorZA02 za02(transport.get(), 0x6C);
  EXPECT_EQ(za02.IsExposureTimeExSupported(), 0u);
  EXPECT_EQ(za02.SetExposureTimeEx(0.1), 0u);
}

TEST_F(DriverTest, ZA05SixteenBitRegistersMirrorsAndGainSteps) {
  Attach(0x3140);
  CSensorZA05 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  EXPECT_EQ(camera->SensorRegister(CSensorZA05::kRegColumnEnd), 1279);
  EXPECT_EQ(camera->SensorRegister(CSensorZA05::kRegRowEnd), 1023);
  camera->ClearLog();
  ASSERT_EQ(sensor.SetMirrorV(1), 1u);
  ASSERT_EQ(sensor.SetMirrorH(1), 1u);
  ASSERT_EQ(sensor.SetMirrorV(0), 1u);
  EXPECT_EQ(SensorWrites(0x6C, 2),
            (std::vector<RegWrite>{{0x3040, 0x8000}, {0x3040, 0xC000}, {0x3040, 0x4000}}));
  uint32_t on = 0;
  EXPECT_EQ(Get(sensor, &CSensorBase::GetMirrorH), 1u);
  EXPECT_EQ(sensor.IsMirrorVSupported(), 1u);
  EXPECT_EQ(sensor.SetGlobalGain(12), 0u);
  EXPECT_EQ(sensor.SetGlobalGain(11), 1u);
  EXPECT_EQ(camera->SensorRegister(CSensorZA05::kRegAnalogGain), CSensorZA05::GainWord(11));
  // An exposure beyond the frame's lines saturates at the line maximum.
  ASSERT_EQ(sensor.SetExposureTime(30000), 1u);
  EXPECT_EQ(camera->SensorRegister(CSensorZA05::kRegCoarseIntegration), 1372);
  EXPECT_EQ(sensor.SetCaptureArea(1, 640, 0, 512, 0), 0u);  // odd column
}

TEST_F(DriverTest, ZA15StartsTheSensorAndKeepsTheFullImage) {
  Attach(0x3130);
  CSensorZA15 sensor(transport.get(), 0x42);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  EXPECT_EQ(camera->SensorRegister(CSensorZA15::kRegStandby), 0);
  EXPECT_EQ(sensor.Info().areaWidth, 1920u);
  EXPECT_EQ(sensor.Info().areaHeight, 1080u);
  EXPECT_EQ(sensor.SetDataBits(2), 1u);
  EXPECT_EQ(sensor.Info().bitsPerPixel, 16u);
  EXPECT_EQ(sensor.SetDataBits(3), 0u);
  uint32_t mode = 2;
  EXPECT_EQ(sensor.AccessSensorParameter(0, &mode), 1u);
  mode = 0;
  EXPECT_EQ(sensor.AccessSensorParameter(1, &mode), 1u);
  EXPECT_EQ(mode, 2u);
  mode = 4;
  EXPECT_EQ(sensor.AccessSensorParameter(0, &mode), 0u);
  // Without a controller the start fails; the record still answers.
  CSensorZA15 idle(nullptr, 0x42);
  EXPECT_EQ(idle.InitSensor(), 0u);
  CSensorZA02 za02(nullptr, 0x6C);
  EXPECT_EQ(za02.InitSensor(), 0u);
  uint32_t gain = 0;
  EXPECT_EQ(Get(za02, &CSensorBase::GetGlobalGainDefault), 64u);
}

TEST(DeviceModelStream, FpgaAndSmallCmosCamerasStream) {
  StreamThroughDeviceModel({.productId = 0x3170, .driver = SensorDriver::kZA02});
  StreamThroughDeviceModel({.productId = 0x3150, .driver = SensorDriver::kZA03});
  StreamThroughDeviceModel({.productId = 0x3140, .driver = SensorDriver::kZA05});
  // The converter's frames carry three samples per pixel.
  StreamThroughDeviceModel({.productId = 0x3130, .driver = SensorDriver::kZA15, .exposure = false});
}

}  // namespace
}  // namespace vexcam::test
