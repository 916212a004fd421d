// The shifted-word cameras: the factory's model numbers, the words exactly
// as loaded into the FPGA, and streaming.
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_shifted.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

class ShiftedTest : public DriverTest {
 protected:
  // Every FPGA write of one word load, in order.
  static std::vector<RegWrite> WordLoad(uint8_t reg, uint64_t data) {
    std::vector<RegWrite> out{{32, reg}};
    for (uint32_t i = 0; i < 7; ++i) out.push_back({33 + i, uint32_t(data >> (48 - 8 * i)) & 0xFF});
    out.push_back({49, 7});
    out.push_back({48, 1});  // pulse set, then cleared (read-modify-write)
    out.push_back({48, 0});
    return out;
  }
};

TEST(ShiftedFactory, ProductsBuildTheirDriverAndModelNumber) {
  struct Case {
    uint16_t productId;
    SensorDriver driver;
    uint32_t model;
  };
  for (const Case& c :
       {Case{0x3330, SensorDriver::kZA16, 118}, Case{0x3340, SensorDriver::kZA17, 119},
        Case{0x3320, SensorDriver::kZA18, 117}}) {
    SCOPED_TRACE(c.productId);
    auto sensor = CreateSensor(c.productId, nullptr);
    auto* shifted = dynamic_cast<CShiftedSensor*>(sensor.get());
    ASSERT_NE(shifted, nullptr);
    EXPECT_EQ(shifted->Row().driver, c.driver);
    EXPECT_EQ(sensor->ModelNumber(), c.model);
    EXPECT_EQ(sensor->WriteSensorRegister(0, 0), 0u);  // no controller
  }
  EXPECT_EQ(CSensorZA16(nullptr, 0x40).SetTriggerMode(1), 0u);
}

TEST_F(ShiftedTest, ZA16SplitsTheAddressIntoNumberAndData) {
  Attach(0x3330);
  CSensorZA16 za16(transport.get(), 0x40);
  ASSERT_EQ(za16.WriteSensorRegister(0x12345678, 0x9ABCDEF0), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(0x12, 0x3456789ABCDEF0));
}

TEST_F(ShiftedTest, ZA18TakesTheRegisterNumberFromTheLowByte) {
  Attach(0x3320);
  CSensorZA18 za18(transport.get(), 0x40);
  ASSERT_EQ(za18.WriteSensorRegister(0x05, 0x81234567), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(0x05, 0x81234567));
}

TEST_F(ShiftedTest, ControlsAreOneWordEach) {
  Attach(0x3340);
  CSensorZA17 sensor(transport.get(), 0x40);
  ASSERT_EQ(sensor.SetCaptureArea(8, 5680, 4, 3332, 0), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kWindow, ShiftedWindowWord(8, 4, 5680, 3332)));
  EXPECT_EQ(sensor.SetCaptureArea(16, 5680, 0, 3336, 0), 0u);  // off the array

  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureTimeEx(0.25), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kExposure, 250000));
  EXPECT_EQ(sensor.Info().exposureTime.current, 2500u);
  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureTimeEx(100.0), 1u);  // clamped to the record
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kExposure, 10000000));
  camera->ClearLog();
  ASSERT_EQ(sensor.SetTriggerMode(3), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kTrigger, 3));
}

TEST(ShiftedDeviceModel, EveryProductStreams) {
  StreamThroughDeviceModel(
      {.productId = 0x3330, .driver = SensorDriver::kZA16, .modelNumber = 118});
  StreamThroughDeviceModel(
      {.productId = 0x3340, .driver = SensorDriver::kZA17, .modelNumber = 119});
  StreamThroughDeviceModel(
      {.productId = 0x3320, .driver = SensorDriver::kZA18, .modelNumber = 117});
}

}  // namespace
}  // namespace vexcam::test
