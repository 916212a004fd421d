// The FPGA-commanded cameras, ZA09 (2048 x 2048) and ZA14 (4096 x 4096).
#include <chrono>
#include <thread>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_za09.h"
#include "sensors/sensor_za14.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kProduct = 0x31E0;
constexpr ZA14Probe kShortZA14Probe{.module = {.attempts = 5,
                                               .interval = std::chrono::milliseconds(10),
                                               .limit = std::chrono::milliseconds(60)},
                                    .readyInterval = std::chrono::milliseconds(10),
                                    .readyLimit = std::chrono::milliseconds(60)};
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
  EXPECT_EQ(CSensorZA09(nullptr, 0x6C).SetReadoutSpeed(1), 0u);
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

// The temperature is sampled, then its word fetched, by FPGA command.
TEST_F(ZA09Test, TemperatureSamplesThenFetchesTheWord) {
  struct Case {
    uint16_t productId;
    double celsius, scale, offset, tolerance;
  };
  for (const Case& c :
       {Case{0x31E0, 21.5, 0.2384, -300.91, 0.2}, Case{0x32D0, -10.0, 0.5031, -295.64, 0.3}}) {
    SCOPED_TRACE(c.productId);
    Attach(c.productId);
    camera->SetThermal(c.celsius, c.celsius);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
    auto sensor = CreateSensor(c.productId, transport.get());
    camera->ClearLog();
    double t = 0;
    ASSERT_EQ(sensor->GetTemperature(&t), 1u);
    EXPECT_EQ(Commands(), (std::vector<uint32_t>{1, 2}));
    EXPECT_DOUBLE_EQ(t, FpgaLE({169, 170}) * c.scale + c.offset);
    EXPECT_NEAR(t, c.celsius, c.tolerance);
    EXPECT_EQ(sensor->GetTemperature(nullptr), 0u);
  }
}

TEST_F(ZA09Test, CommandOfAHungFpgaFailsAfterItsBusyLimit) {
  camera->SetFpgaRegister(FpgaCommandChannel::kRegBusy, 1);
  CSensorZA09 sensor(transport.get(), 0x6C);
  double t = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.GetTemperature(&t), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A missing module fails the shared probe as on ZA09.
TEST_F(DriverTest, ZA14ProbeWaitsForTheModuleThenTheFpgaReadyBit) {
  Attach(0x32D0);
  CSensorZA14 sensor(transport.get(), 0x6C, kShortZA14Probe);
  EXPECT_EQ(sensor.CheckSensor(), 1u);

  // Module up, FPGA not ready: fails once the ready limit has passed.
  camera->SetFpgaRegister(CSensorZA14::kRegReady, 0xFE);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(50));
  EXPECT_LT(took, std::chrono::seconds(1));
}

TEST_F(DriverTest, ZA14GainsAndMirrors) {
  Attach(0x32D0);
  CSensorZA14 sensor(transport.get(), 0x6C);
  ASSERT_EQ(sensor.SetAnalogGain(20000), 1u);  // limited to 14 bits
  EXPECT_EQ(camera->FpgaRegister(CSensorZA14::kRegAnalogGainLow), 16383 & 0xFF);
  EXPECT_EQ(camera->FpgaRegister(CSensorZA14::kRegAnalogGainHigh), 16383 >> 8);
  EXPECT_EQ(sensor.SetGainMode(8), 0u);
  ASSERT_EQ(sensor.SetGainMode(7), 1u);
  EXPECT_EQ(camera->FpgaRegister(CSensorZA14::kRegGainMode), 7);
  ASSERT_EQ(sensor.SetMirrorH(1), 1u);
  ASSERT_EQ(sensor.SetMirrorV(1), 1u);
  ASSERT_EQ(sensor.SetMirrorH(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(CSensorZA14::kRegMirror), 1);
}

}  // namespace
}  // namespace vexcam::test
