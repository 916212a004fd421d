// The 1280 x 1024 camera with the 8-bit register sensor against its simulated camera.
#include <chrono>
#include <thread>

#include "driver_fixture.h"
#include "sensors/sensor_glux9701.h"
#include "sim/sim_head_glux9701.h"

namespace vexcam::test {
namespace {

constexpr GluxProbe kShortProbe{.settle = std::chrono::milliseconds(20),
                                .resetWait = std::chrono::milliseconds(10),
                                .attempts = 5};

class GluxTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    Attach(0x32C0);
  }
  sim::SimHeadGLUX9701& Head() {
    sim::SimHeadGLUX9701* head = nullptr;
    camera->WithHead([&](sim::SimHead& h) { head = dynamic_cast<sim::SimHeadGLUX9701*>(&h); });
    EXPECT_NE(head, nullptr);
    return *head;
  }
};

TEST_F(GluxTest, ProbeResetsAnOlderFpgaUntilTheLinkIsUp) {
  // A newer FPGA: no reset at all.
  CSensorGLUX9701 sensor(transport.get(), kBus, kShortProbe);
  EXPECT_EQ(sensor.CheckSensor(), 1u);
  EXPECT_EQ(Head().Resets(), 0u);

  camera->SetFpgaRegister(sim::SimHeadGLUX9701::kRegRevision, 8);
  Head().SetResetsToLink(3);
  EXPECT_EQ(sensor.CheckSensor(), 1u);
  EXPECT_EQ(Head().Resets(), 3u);
  // Once up, the link state alone passes.
  EXPECT_EQ(sensor.CheckSensor(), 1u);
  EXPECT_EQ(Head().Resets(), 3u);
}

TEST_F(GluxTest, ProbeGivesUpAfterFiveResets) {
  camera->SetFpgaRegister(sim::SimHeadGLUX9701::kRegRevision, 0);
  Head().SetResetsToLink(0);
  CSensorGLUX9701 sensor(transport.get(), kBus, kShortProbe);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  EXPECT_EQ(Head().Resets(), 5u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(70));
}

TEST_F(GluxTest, TemperatureFromSensorRegistersAndVerifiedWrites) {
  camera->SetThermal(30.0, 30.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // settle
  CSensorGLUX9701 sensor(transport.get(), kBus);
  double t = 0;
  ASSERT_EQ(sensor.GetTemperature(&t), 1u);
  const uint32_t word = camera->SensorRegister(393) << 8 | camera->SensorRegister(392);
  EXPECT_DOUBLE_EQ(t, word * 0.3213 - 287.09);
  EXPECT_NEAR(t, 30.0, 0.2);

  camera->ClearLog();
  camera->SetBusyReadsAfterSensorWrite(2);
  ASSERT_EQ(sensor.SetAnalogGain(0x1234), 1u);
  EXPECT_EQ(SensorWrites(kBus, 1), (std::vector<RegWrite>{{26, 0x34}, {27, 0x12}}));
  ASSERT_EQ(sensor.SetGlobalGain(1), 1u);  // raised to the minimum
  EXPECT_EQ(camera->SensorRegister(CSensorGLUX9701::kRegGain), 2);
}

}  // namespace
}  // namespace vexcam::test
