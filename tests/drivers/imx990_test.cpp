// The cooled area family against its simulated cameras: what the drivers
// program into the sensor and the FPGA, and what they read back.
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/fixed_point_temperature.h"
#include "sensors/sensor_imx990.h"

namespace vexcam::test {
namespace {

class CooledAreaTest : public DriverTest {
 protected:
  uint32_t FrameRegisters() const { return SensorLE(724, 3); }
  uint32_t ShutterRegisters() const { return SensorLE(1088, 3); }
};

// The cooled variants (the second id of each pair) face another way (that
// they cool: DeviceModelStream.EveryHeaderFramedProductStreams); a family
// member's model number that is not this camera's is refused.
TEST(CooledAreaFactory, OrientationAndCoolingFollowTheModelNumber) {
  for (uint16_t id : {0x3260, 0x3270, 0x3280, 0x3290, 0x3370, 0x3380}) {
    SCOPED_TRACE(id);
    const bool cooled = id == 0x3270 || id == 0x3290 || id == 0x3380;
    auto sensor = CreateSensor(id, nullptr);
    const uint32_t model = sensor->ModelNumber();
    EXPECT_EQ(sensor->Info().orientation, cooled ? 1u : 4u);
    EXPECT_EQ(sensor->SetModelId(model == 111 || model == 112 ? 109 : 111), 0u);
    EXPECT_EQ(sensor->ModelNumber(), model);
    EXPECT_EQ(sensor->Info().orientation, cooled ? 1u : 4u);
  }
  CSensorIMX990 plain(nullptr, kBus);
  EXPECT_EQ(plain.SetModelId(110), 1u);
  EXPECT_EQ(plain.Info().orientation, 1u);
  EXPECT_EQ(plain.SetModelId(109), 1u);
  EXPECT_EQ(plain.Info().orientation, 4u);
}

TEST(CooledAreaTemperature, SignedFixedPointNineThree) {
  EXPECT_DOUBLE_EQ(Fixed93ToCelsius(0x800), -256.0);
  EXPECT_DOUBLE_EQ(Fixed93ToCelsius(0xFF8), -1.0);
  EXPECT_DOUBLE_EQ(Fixed93ToCelsius(0x7FF), 255.875);
  EXPECT_DOUBLE_EQ(Fixed93ToCelsius(0x0CD), 25.625);
  EXPECT_DOUBLE_EQ(Fixed93ToCelsius(0xF0C8), 25.0);  // bits above 11 are not part of it
}

TEST_F(CooledAreaTest, VerifiedWritesHoldTheBusAndWaitForTheBusyFlag) {
  Attach(0x3260);
  CSensorIMX990 sensor(transport.get(), kBus);
  camera->SetBusyReadsAfterSensorWrite(3);
  ASSERT_EQ(sensor.WriteSensorRegisterVerified(1812, 0x55), 1u);
  ASSERT_EQ(sensor.WriteSensorRegisterVerified(1813, 0x01), 1u);
  EXPECT_EQ(camera->SensorRegister(1813), 1);
  // Each write sits between FPGA 159 = 1 and 159 = 0.
  std::vector<std::string> order;
  for (const sim::SimTransaction& t : camera->SerialLog()) {
    if (t.in || !t.ok) continue;
    if (t.request == sim::kBusFpga && t.data.size() >= 3 && t.data[0] == 159)
      order.push_back("hold" + std::to_string(t.data[2]));
    if (t.request == kBus && t.data.size() == 3) order.push_back("write");
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"hold1", "write", "hold0", "hold1", "write", "hold0"}));
  // A value wider than the register is refused rather than truncated.
  EXPECT_EQ(sensor.WriteSensorRegisterVerified(1812, 0x155), 0u);
}

TEST_F(CooledAreaTest, WindowProgramFullPartialAndRejected) {
  Attach(0x3260);
  CSensorIMX990 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SetCaptureArea(0, 1280, 0, 1024, 0), 1u);
  EXPECT_EQ(sensor.Info().frameLength, 1078u);
  EXPECT_EQ(sensor.Info().lineLength, 972u);
  EXPECT_EQ(SensorLE(724, 2), 1078u);
  EXPECT_EQ(camera->SensorRegister(728), 204);
  EXPECT_EQ(camera->SensorRegister(729), 3);
  EXPECT_EQ(camera->SensorRegister(772), 0);

  ASSERT_EQ(sensor.SetCaptureArea(0, 1280, 0, 512, 0), 1u);
  EXPECT_EQ(camera->SensorRegister(772), 2);
  EXPECT_EQ(camera->SensorRegister(802), 4);   // y written 4 rows lower
  EXPECT_EQ(sensor.Info().frameLength, 553u);  // base frame 548
  EXPECT_EQ(SensorLE(806, 2), 512u);

  // x and y round up to 8: 1280 columns from 4 no longer fit.
  camera->ClearLog();
  EXPECT_EQ(sensor.SetCaptureArea(4, 1280, 0, 1024, 0), 0u);
  EXPECT_EQ(sensor.SetCaptureArea(0, 0xFFFFFFF8u, 0, 1024, 0), 0u);
  EXPECT_EQ(sensor.SetCaptureArea(0xFFFFFFFAu, 1280, 0, 1024, 0), 0u);  // no wrap to 0
  EXPECT_EQ(sensor.SetCaptureArea(0, 1280, 0, 1024 + 8, 0), 0u);
  EXPECT_TRUE(SensorWrites(kBus, 1).empty());
  EXPECT_EQ(sensor.Info().areaHeight, 512u);

  // Re-applying the stored area for a new data width keeps the window.
  ASSERT_EQ(sensor.SetCaptureArea(16, 640, 8, 256, 1), 1u);
  EXPECT_EQ(camera->SensorRegister(572), 17);
  EXPECT_EQ(sensor.Info().areaWidth, 320u);
  ASSERT_EQ(sensor.SetDataBits(1), 1u);
  EXPECT_EQ(sensor.Info().bitsPerPixel, 16u);
  EXPECT_EQ(sensor.Info().areaWidth, 320u);
  EXPECT_EQ(sensor.Info().areaHeight, 128u);
  EXPECT_EQ(camera->SensorRegister(802), 8);

  // Both mirror bits share register 1028; the FPGA readout order follows the 2 x 2 mode.
  ASSERT_EQ(sensor.SetMirrorV(1), 1u);
  ASSERT_EQ(sensor.SetMirrorH(1), 1u);
  EXPECT_EQ(camera->SensorRegister(1028), 3);
  EXPECT_EQ(camera->FpgaRegister(76), 52);
  ASSERT_EQ(sensor.SetMirrorV(0), 1u);
  EXPECT_EQ(camera->SensorRegister(1028), 2);
}

TEST_F(CooledAreaTest, ExposureClampsShutterAndFrameLengthening) {
  Attach(0x3260);
  CSensorIMX990 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SetCaptureArea(0, 1280, 0, 1024, 0), 1u);
  ASSERT_EQ(sensor.SetExposureTime(0), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 7u);  // (100000 - 7372) / 12959.9 ns
  EXPECT_EQ(FrameRegisters(), 1078u);
  EXPECT_EQ(ShutterRegisters(), 1078u - 7u);

  ASSERT_EQ(sensor.SetExposureTime(30000), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 20000u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 2.0);
  uint32_t lines = Get(sensor, &CSensorBase::GetExposureLines);
  EXPECT_GT(lines, 1078u);
  EXPECT_EQ(FrameRegisters(), lines + 15);
  EXPECT_EQ(ShutterRegisters(), 15u);
  EXPECT_EQ(sensor.Info().frameLength, 1078u);  // the window's frame stays the base
  EXPECT_EQ(sensor.FrameTimeMs(), static_cast<uint32_t>((lines + 15) * 0.012961774681455677));

  // Exactly at the margin the frame is not lengthened.
  ASSERT_EQ(sensor.SetExposureLines(1078 - 15), 1u);
  EXPECT_EQ(FrameRegisters(), 1078u);
  EXPECT_EQ(ShutterRegisters(), 15u);
  ASSERT_EQ(sensor.SetExposureLines(1078 - 14), 1u);
  EXPECT_EQ(FrameRegisters(), 1079u);

  // Lines whose frame would not fit 24 bits are refused; the setting stays.
  EXPECT_EQ(sensor.SetExposureLines(0xFFFFFFFFu), 0u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 1064u);

  // Seconds use the line time of a partial window; NaN takes the minimum.
  ASSERT_EQ(sensor.SetCaptureArea(0, 1280, 0, 512, 0), 1u);
  ASSERT_EQ(sensor.SetExposureTimeEx(0.01), 1u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines),
            static_cast<uint32_t>((1e7 - 7372.0) / 12961.774681455678));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 100u);
  ASSERT_EQ(sensor.SetExposureTimeEx(std::nan("")), 1u);
  EXPECT_DOUBLE_EQ(Get(sensor, &CSensorBase::GetExposureTimeEx), 0.000020333);
}

TEST_F(CooledAreaTest, TriggerModeOneReprogramsTheFpgaTimingOnEveryExposureChange) {
  Attach(0x3270);
  CSensorIMX990 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SetCaptureArea(0, 1280, 0, 1024, 0), 1u);
  ASSERT_EQ(sensor.SetExposureLines(500), 1u);
  ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(88), 2);
  EXPECT_EQ(camera->SensorRegister(1072), 19);
  EXPECT_EQ(camera->SensorRegister(1536), 1);
  EXPECT_EQ(camera->SensorRegister(512), 0);

  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureLines(600), 1u);
  const uint32_t span = 600 + 9 + 1024;
  EXPECT_EQ(LastValue(FpgaWrites(), 133), 600 & 0xFF);
  EXPECT_EQ(LastValue(FpgaWrites(), 134), 600 >> 8);
  EXPECT_EQ(LastValue(FpgaWrites(), 80), span & 0xFF);
  EXPECT_EQ(LastValue(FpgaWrites(), 81), span >> 8);
  EXPECT_EQ(LastValue(FpgaWrites(), 84), 195);
  EXPECT_EQ(LastValue(FpgaWrites(), 85), 2);
  EXPECT_EQ(FpgaWritesTo({88}), (std::vector<RegWrite>{{88, 0}, {88, 2}}));

  ASSERT_EQ(sensor.SetTriggerMode(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(88), 0);
  EXPECT_EQ(camera->SensorRegister(1072), 17);
  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureLines(700), 1u);
  EXPECT_TRUE(FpgaWritesTo({80, 81, 82, 83, 84, 85, 86, 87, 88}).empty());
}

TEST_F(CooledAreaTest, TriggerOptionByFpgaVersion) {
  Attach(0x3260);
  camera->SetFpgaVersion(0x0100);
  {
    CSensorIMX990 sensor(transport.get(), kBus);
    EXPECT_EQ(sensor.HasTriggerOption(), 1u);
    ASSERT_EQ(sensor.SetTriggerOption(0), 1u);
    ASSERT_EQ(sensor.ApplyTriggerOption(0, 0), 1u);
    ASSERT_EQ(sensor.SetTriggerOption(1), 1u);
    ASSERT_EQ(sensor.ApplyTriggerOption(0, 0), 1u);
    EXPECT_EQ(FpgaWritesTo({89}),
              (std::vector<RegWrite>{{89, 0}, {89, 128}, {89, 0}, {89, 4}, {89, 132}, {89, 4}}));
    // An FPGA before 0x0111 has no option register in its trigger switch.
    camera->ClearLog();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
    EXPECT_TRUE(FpgaWritesTo({89}).empty());
  }
  camera->SetFpgaVersion(0x0120);
  CSensorIMX990 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SetTriggerOption(0), 1u);
  camera->ClearLog();
  ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
  EXPECT_EQ(FpgaWritesTo({89}), (std::vector<RegWrite>{{89, 4}, {89, 132}, {89, 4}, {89, 0}}));
  camera->ClearLog();
  ASSERT_EQ(sensor.SetTriggerMode(0), 1u);
  EXPECT_EQ(FpgaWritesTo({89}), (std::vector<RegWrite>{{89, 0}}));

  // The large member has no trigger option.
  CSensorIMX992 large(transport.get(), kBus);
  EXPECT_EQ(large.SetTriggerOption(1), 0u);
  EXPECT_EQ(large.HasTriggerOption(), 0u);
}

TEST_F(CooledAreaTest, CapabilityProbesFollowTheFpgaVersion) {
  Attach(0x3260);
  struct Case {
    uint16_t version;
    uint8_t fpga23;
    uint32_t firmware, color, binning, extra;
  };
  for (const Case& c :
       {Case{300, 0, 0, 1, 1, 1}, Case{293, 0, 0, 1, 1, 0}, Case{300, 1, 0, 1, 1, 0},
        Case{0x8000 | 300, 0, 1, 0, 1, 0}, Case{0x4000 | 300, 0, 0, 1, 0, 1}}) {
    SCOPED_TRACE(c.version);
    camera->SetFpgaVersion(c.version);
    camera->SetFpgaRegister(23, c.fpga23);
    CSensorIMX991 sensor(transport.get(), kBus);
    EXPECT_EQ(sensor.GetFirmwareFlag(), c.firmware);
    EXPECT_EQ(sensor.IsColorModeSupported(), c.color);
    EXPECT_EQ(sensor.IsBinningSupported(), c.binning);
    EXPECT_EQ(sensor.HasExtraOption(), c.extra);
  }
  camera->SetFpgaRegister(24, 0x40);
  CSensorIMX990 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.EnableExtraOption(), 1u);
  EXPECT_EQ(camera->FpgaRegister(24), 0x41);
}

TEST_F(CooledAreaTest, TemperatureFromTheSensorOrTheFpgaByVersion) {
  Attach(0x3270);
  camera->SetThermal(-10.5, -10.5);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle (time constant 20 ms here)
  double t = 0;
  {
    CSensorIMX990 sensor(transport.get(), kBus);
    ASSERT_EQ(sensor.GetTemperature(&t), 1u);
    EXPECT_NEAR(t, -10.5, 0.13);
    EXPECT_EQ(LastValue(SensorWrites(kBus, 1), 1928), 0);  // latch released
    EXPECT_EQ(sensor.GetTemperature(nullptr), 0u);
  }
  camera->SetFpgaVersion(0x8024);
  camera->ClearLog();
  {
    CSensorIMX990 sensor(transport.get(), kBus);
    ASSERT_EQ(sensor.GetTemperature(&t), 1u);
    EXPECT_NEAR(t, -10.5, 0.13);
    EXPECT_TRUE(SensorWrites(kBus, 1).empty());
  }
  // The small member always asks its sensor.
  CSensorIMX991 small(transport.get(), kBus);
  camera->ClearLog();
  ASSERT_EQ(small.GetTemperature(&t), 1u);
  EXPECT_NEAR(t, -10.5, 0.13);
  EXPECT_FALSE(SensorWrites(kBus, 1).empty());
}

TEST_F(CooledAreaTest, CoolingSwitchPerModel) {
  Attach(0x3270);
  CSensorIMX990 plain(transport.get(), kBus);  // constructed as model 109
  EXPECT_EQ(plain.SetPeltier(1), 0u);
  EXPECT_EQ(camera->FpgaRegister(151), 0);
  ASSERT_EQ(plain.SetModelId(110), 1u);
  camera->SetFpgaRegister(151, 0x80);
  ASSERT_EQ(plain.SetPeltier(2), 1u);  // any argument of at least 1 switches on
  EXPECT_EQ(camera->FpgaRegister(151), 1);
  EXPECT_EQ(plain.GetPeltier(), 1u);
  ASSERT_EQ(plain.SetPeltier(0), 1u);
  EXPECT_EQ(plain.GetPeltier(), 0u);

  // The large member keeps the other bits of the register.
  CSensorIMX992 large(transport.get(), kBus);
  ASSERT_EQ(large.SetModelId(130), 1u);
  camera->SetFpgaRegister(151, 0x80);
  ASSERT_EQ(large.SetPeltier(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(151), 0x81);
  ASSERT_EQ(large.SetPeltier(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(151), 0x80);
}

}  // namespace
}  // namespace vexcam::test
