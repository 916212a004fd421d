// The FPGA-run 4096 x 4096 camera: the two-stage probe, its temperature
// scale, analog gain and gain mode, mirrors and streaming.
#include <chrono>
#include <thread>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_za14.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kProduct = 0x32D0;
constexpr ZA14Probe kShortProbe{.module = {.attempts = 5,
                                           .interval = std::chrono::milliseconds(10),
                                           .limit = std::chrono::milliseconds(60)},
                                .readyInterval = std::chrono::milliseconds(10),
                                .readyLimit = std::chrono::milliseconds(60)};

class ZA14Test : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    Attach(kProduct);
  }
};

TEST(ZA14Factory, ProductBuildsTheDriverWithItsRecord) {
  auto sensor = CreateSensor(kProduct, nullptr);
  ASSERT_NE(dynamic_cast<CSensorZA14*>(sensor.get()), nullptr);
  EXPECT_EQ(sensor->ModelNumber(), 115u);
  EXPECT_EQ(sensor->IsAnalogGainSupported(), 1u);
  EXPECT_EQ(sensor->IsGainModeSupported(), 1u);
  EXPECT_EQ(sensor->GetTemperature(nullptr), 0u);
}

TEST_F(ZA14Test, ProbeWaitsForTheModuleThenTheFpgaReadyBit) {
  CSensorZA14 sensor(transport.get(), 0x6C, kShortProbe);
  EXPECT_EQ(sensor.CheckSensor(), 1u);

  // Module up, FPGA not ready: fails once the ready limit has passed.
  camera->SetFpgaRegister(CSensorZA14::kRegReady, 0xFE);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(50));
  EXPECT_LT(took, std::chrono::seconds(1));

  // No module: the FPGA is never asked.
  camera->SetFpgaRegister(CSensorZA14::kRegReady, 1);
  camera->InjectBusFailures(1000);
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  camera->ClearFaults();
}

TEST_F(ZA14Test, TemperatureGainsAndMirrors) {
  camera->SetThermal(-10.0, -10.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
  CSensorZA14 sensor(transport.get(), 0x6C);
  double t = 0;
  ASSERT_EQ(sensor.GetTemperature(&t), 1u);
  const uint32_t word = camera->FpgaRegister(169) | camera->FpgaRegister(170) << 8;
  EXPECT_DOUBLE_EQ(t, word * 0.5031 - 295.64);
  EXPECT_NEAR(t, -10.0, 0.3);

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

TEST(ZA14DeviceModel, Streams) {
  StreamThroughDeviceModel({.productId = kProduct,
                            .driver = SensorDriver::kZA14,
                            .modelNumber = 115,
                            .orientation = 0,
                            .temperature = true});
}

}  // namespace
}  // namespace vexcam::test
