// The FPGA-run cameras (ZA02, ZA03, ZA10..ZA13, G1467x, ZA21) and the two
// small CMOS cameras (ZA05, ZA15) against their simulated cameras.

#include "driver_fixture.h"
#include "sensors/sensor_fpga_cmos.h"
#include "sensors/sensor_g1467x.h"
#include "sensors/sensor_line_scan.h"
#include "sensors/sensor_za05.h"
#include "sensors/sensor_za15.h"
#include "sensors/sensor_za21.h"
#include "sensors/thermistor.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

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

TEST_F(DriverTest, FpgaExposureCountsPixelClocksAndClampsTimeAndSeconds) {
  Attach(0x3150);
  CSensorZA03 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  auto counter = [&] { return FpgaLE({133, 134, 155}); };
  EXPECT_EQ(counter(), 62499u);  // the default 10 ms at 6.25 MHz
  ASSERT_EQ(sensor.SetExposureTime(20000), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 10000u);
  EXPECT_EQ(counter(), 6249999u);
  EXPECT_EQ(sensor.SetGlobalGain(256), 0u);
  EXPECT_EQ(sensor.SetGlobalGain(255), 1u);
  EXPECT_EQ(camera->FpgaRegister(CFpgaRegisterSensor::kRegGain), 255);

  // The seconds record clamps, programs and stores the real time.
  ASSERT_EQ(sensor.IsExposureTimeExSupported(), 1u);
  ASSERT_EQ(sensor.SetExposureTimeEx(0.25), 1u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 0.25);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 2500u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 1562499u);
  ASSERT_EQ(sensor.SetExposureTimeEx(50.0), 1u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 1.0);
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
  EXPECT_EQ(Get(sensor, &CSensorBase::GetMirrorV), 0u);
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
}

// The line-scan cameras.
TEST_F(DriverTest, LineScanStartsWithSixtyFourLinesOfTheFullWidth) {
  Attach(0x3210);
  CSensorZA10 sensor(transport.get(), 0x20);
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
  auto counter = [&] { return FpgaLE({133, 134, 155}); };
  EXPECT_EQ(counter(), 3000u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTimeMin), 136u);
  ASSERT_EQ(sensor.SetExposureTime(10), 1u);  // clamped to the minimum
  EXPECT_EQ(counter(), 136u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 136u);
  ASSERT_EQ(sensor.SetExposureTime(4000), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 4000u);
  EXPECT_EQ(sensor.SetExposureLines(5040), 0u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 4000u);
}

TEST_F(DriverTest, LineScanTriggerOnlyOnZA12) {
  Attach(0x3190);
  CSensorZA12 sensor(transport.get(), 0x20);
  ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetTriggerMode), 1u);
  EXPECT_EQ(camera->FpgaRegister(88) & 1, 1);
  ASSERT_EQ(sensor.SetTriggerMode(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(88) & 1, 0);
  // The others leave the trigger to the camera device model.
  EXPECT_EQ(CSensorZA10(transport.get(), 0x20).SetTriggerMode(1), 0u);
}

// The cooled FPGA-run camera: the set-point and thermistor readings through
// FPGA registers 80..84.
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
  int32_t target = 0;
  EXPECT_EQ(CSensorG1467x(nullptr, 0x6C).GetCoolingTarget(&target), 0u);
}

// The FPGA-run 640 x 512 camera: the camera device model leaves its bring-up,
// trigger, data width and transfer reset to others and so never streams it.
TEST_F(DriverTest, ZA21SetsItsPixelClockAndOnlyTakesTheFullArray) {
  Attach(0x33A0);
  CSensorZA21 s(transport.get(), kBus);
  EXPECT_EQ(s.Info().pixelClockKhz, 0u);
  // Before the pixel clock is known the time limits still answer sanely.
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 1u);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(s.Info().pixelClockKhz, CSensorZA21::kPixelClockKhz);
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 256, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 512, 1), 0u);
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(89), 1);
  EXPECT_EQ(s.Info().bitsPerPixel, 16u);
  ASSERT_EQ(s.SetTriggerMode(3), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetTriggerMode), 1u);
  EXPECT_EQ(s.SetGlobalGain(1), 0u);  // not adjustable
  EXPECT_EQ(s.SetExposureTime(100), 0u);
  EXPECT_TRUE(SensorWrites(kBus, 1).empty());
}

// The device model answers this camera's bring-up, window, data width and
// trigger with success without touching it, and prepares no transfer, so a
// capture fails cleanly instead of streaming.
TEST(ZA21DeviceModel, OpensWithItsDriverButDoesNotStream) {
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(0x33A0));
  StreamCamera* cam = m.cam.get();
  ASSERT_EQ(cam->ChosenDriver(), SensorDriver::kZA21);
  EXPECT_EQ(cam->Sensor()->ModelNumber(), 122u);
  SensorInfo info{};
  ASSERT_EQ(cam->GetSensorInfo(&info), 1u);
  EXPECT_EQ(info.orientation, 4u);
  EXPECT_EQ(cam->SetCaptureArea(0, 0, 640, 512, 0), 1u);
  EXPECT_EQ(cam->SetDataBits(1), 1u);
  EXPECT_EQ(cam->SetTriggerMode(1, 1), 1u);
  EXPECT_EQ(m.sim->FpgaRegister(88), 0);  // the trigger was not forwarded
  EXPECT_EQ(cam->ApplyCaptureSettings(), 1u);
  if (cam->StartCapture(kCaptureContinuous) == 1u) {
    EXPECT_NE(cam->WaitFrame(300), kWaitNewFrame);
    EXPECT_EQ(cam->StopCapture(), 1u);
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
}

}  // namespace
}  // namespace vexcam::test
