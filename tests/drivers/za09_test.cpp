// The FPGA-run 2048 x 2048 camera: module probe, readout speed with the
// module-version rule, the FPGA-commanded temperature, and streaming.
#include <chrono>
#include <thread>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_za09.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kProduct = 0x31E0;
constexpr ModuleProbe kShortProbe{.attempts = 20,
                                  .interval = std::chrono::milliseconds(10),
                                  .limit = std::chrono::milliseconds(60)};

class ZA09Test : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    Attach(kProduct);
  }
  std::vector<uint32_t> Commands() const {
    std::vector<uint32_t> out;
    for (const RegWrite& w : FpgaWrites())
      if (w.address == FpgaCommandChannel::kRegCommand) out.push_back(w.value);
    return out;
  }
};

TEST(ZA09Factory, ProductBuildsTheDriverWithItsModelNumber) {
  auto sensor = CreateSensor(kProduct, nullptr);
  ASSERT_NE(dynamic_cast<CSensorZA09*>(sensor.get()), nullptr);
  EXPECT_EQ(sensor->ModelNumber(), 103u);
  EXPECT_EQ(sensor->Info().orientation, 0u);
  EXPECT_EQ(sensor->IsExposureTimeExSupported(), 1u);
  EXPECT_EQ(sensor->CheckSensor(), 0u);  // no controller
  EXPECT_EQ(sensor->SetReadoutSpeed(1), 0u);
}

TEST_F(ZA09Test, ProbeAsksTheStatusDeviceAndGivesUpAtItsLimit) {
  CSensorZA09 sensor(transport.get(), 0x6C, kShortProbe);
  EXPECT_EQ(sensor.CheckSensor(), 1u);

  camera->InjectBusFailures(1000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  camera->ClearFaults();
}

TEST_F(ZA09Test, ReadoutSpeedSetsTheLinePeriodOfAnOlderModule) {
  camera->SetFpgaRegister(19, 0);
  CSensorZA09 sensor(transport.get(), 0x6C);
  EXPECT_EQ(sensor.CheckModuleVersion(), 0u);
  ASSERT_EQ(sensor.SetReadoutSpeed(0), 1u);
  EXPECT_EQ(LastValue(FpgaWrites(), 230), 560 & 0xFF);
  EXPECT_EQ(LastValue(FpgaWrites(), 231), 560 >> 8);
  EXPECT_EQ(Commands().front(), FpgaCommandChannel::kApplyLinePeriod);
  EXPECT_EQ(sensor.LinePeriod(), 560u);  // read back from the camera
  EXPECT_DOUBLE_EQ(sensor.Info().exposureSeconds.minimum, 0.000056);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetReadoutSpeed), 0u);

  ASSERT_EQ(sensor.SetReadoutSpeed(8), 1u);
  EXPECT_EQ(sensor.LinePeriod(), 1280u);
  EXPECT_DOUBLE_EQ(sensor.Info().exposureSeconds.minimum, 0.000128);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetReadoutSpeed), 8u);

  camera->ClearLog();
  EXPECT_EQ(sensor.SetReadoutSpeed(9), 0u);
  EXPECT_TRUE(FpgaWrites().empty());
}

TEST_F(ZA09Test, NewerModuleKeepsItsLinePeriod) {
  // Version bit 12: the period stays, the speed is still kept.
  CSensorZA09 newer(transport.get(), 0x6C);
  EXPECT_EQ(newer.CheckModuleVersion(), 1u);
  ASSERT_EQ(newer.SetReadoutSpeed(0), 1u);
  EXPECT_EQ(LastValue(FpgaWrites(), 230), -1);
  EXPECT_EQ(LastValue(FpgaWrites(), CSensorZA09::kRegReadoutSpeed), 0);
  EXPECT_DOUBLE_EQ(newer.Info().exposureSeconds.minimum, 0.000128);
}

TEST_F(ZA09Test, TemperatureSamplesThenFetchesTheWord) {
  camera->SetThermal(21.5, 21.5);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
  CSensorZA09 sensor(transport.get(), 0x6C);
  double t = 0;
  ASSERT_EQ(sensor.GetTemperature(&t), 1u);
  EXPECT_EQ(Commands(), (std::vector<uint32_t>{1, 2}));
  const uint32_t word = camera->FpgaRegister(169) | camera->FpgaRegister(170) << 8;
  EXPECT_DOUBLE_EQ(t, word * 0.2384 - 300.91);
  EXPECT_NEAR(t, 21.5, 0.2);
}

TEST_F(ZA09Test, CommandOfAHungFpgaFailsAfterItsBusyLimit) {
  camera->SetFpgaRegister(FpgaCommandChannel::kRegBusy, 1);
  CSensorZA09 sensor(transport.get(), 0x6C);
  double t = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.GetTemperature(&t), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(ZA09DeviceModel, Streams) {
  StreamThroughDeviceModel({.productId = kProduct,
                            .driver = SensorDriver::kZA09,
                            .modelNumber = 103,
                            .orientation = 0,
                            .temperature = true});
}

}  // namespace
}  // namespace vexcam::test
