// Pieces shared by several drivers: the shifted-word channel, the register
// plans of the 2448 x 2048 group and the thermistor conversions.
#include <chrono>
#include <vector>

#include "driver_fixture.h"
#include "sensors/pregius_exposure.h"
#include "sensors/shifted_register.h"
#include "sensors/thermistor.h"

namespace vexcam::test {
namespace {

using pregius::Step;
using Kind = pregius::Step::Kind;

Step V(uint16_t a, uint8_t v) { return {.kind = Kind::kVerified, .address = a, .value = v}; }
Step P(uint16_t a, uint8_t v) { return {.kind = Kind::kPlain, .address = a, .value = v}; }
Step Pause(uint32_t ms) { return {.kind = Kind::kPause, .ms = ms}; }

std::vector<Step> StepsOf(std::span<const Step> s) { return {s.begin(), s.end()}; }

// The whole word load: ShiftedTest.RegisterWritesLoadOneWord.
TEST_F(DriverTest, ShiftedWordPulseKeepsTheOtherBitsAndWaitsForTheShift) {
  Attach(0x3330);
  camera->SetFpgaRegister(ShiftedRegisterChannel::kRegPulse, 0x80);
  ShiftedRegisterChannel channel(transport.get());
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(channel.Write(SplitShiftedAddress(0x12345678, 0x9ABCDEF0)), 1u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_EQ(FpgaWritesTo({48}), (std::vector<RegWrite>{{48, 0x81}, {48, 0x80}}));

  // A failed access stops the load.
  camera->ClearLog();
  camera->InjectBusFailures(1);
  EXPECT_EQ(channel.Write(1, 2), 0u);
  EXPECT_TRUE(FpgaWrites().empty());
  EXPECT_EQ(ShiftedRegisterChannel(nullptr).Write(1, 2), 0u);
}

TEST(PregiusExposure, LongExposuresStretchTheFrame) {
  // Bits 16-19 set: plain writes, each followed by the pause (time / 10 ms).
  auto plan = pregius::PlanExposureLines(0x11170, 1048575, 2094, 1582, 100);
  EXPECT_EQ(
      StepsOf(plan.Steps()),
      (std::vector<Step>{P(530, 1), Pause(10), P(529, 0x11), Pause(10), P(528, 0x70), Pause(10),
                         P(653, 10), Pause(10), P(654, 0), Pause(10), P(655, 0), Pause(10)}));
  // Growing high byte: 530 first; close to the previous count: no shutter writes.
  plan = pregius::PlanExposureLines(0x1388, 1048575, 2094, 0x1388 - 5, 100);
  EXPECT_EQ(StepsOf(plan.Steps()), (std::vector<Step>{V(530, 0), V(529, 0x13), V(528, 0x88)}));
  // Shrinking high byte: 529 first; a time under 1 ms gives no pauses.
  plan = pregius::PlanExposureLines(0x0FFA, 1048575, 0x1000, 0, 5);
  EXPECT_EQ(StepsOf(plan.Steps()), (std::vector<Step>{V(529, 0x0F), V(530, 0), V(528, 0xFA),
                                                      P(653, 10), P(654, 0), P(655, 0)}));
}

TEST(PregiusExposure, RunPlanStopsAtTheFirstFailedWrite) {
  const auto plan = pregius::PlanExposureLines(0x11170, 1048575, 2094, 1582, 100);
  std::vector<uint16_t> written;
  uint32_t paused = 0;
  auto plain = [&](uint16_t a, uint8_t) -> uint32_t {
    written.push_back(a);
    return a == 529 ? 0 : 1;
  };
  auto verified = [&](uint16_t, uint8_t) -> uint32_t { return 1; };
  EXPECT_EQ(pregius::RunPlan(plan.Steps(), verified, plain, [&](uint32_t ms) { paused += ms; }),
            0u);
  EXPECT_EQ(written, (std::vector<uint16_t>{530, 529}));
  EXPECT_EQ(paused, 10u);
}

TEST(PregiusExposure, CaptureAreaAlignsAndFillsTheWindowRegisters) {
  auto a = pregius::PlanCaptureArea(1, 100, 2, 50, 0, 2448, 2048, false);
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.x, 4u);
  EXPECT_EQ(a.y, 4u);
  EXPECT_EQ(a.width, 96u);
  EXPECT_EQ(a.height, 48u);
  EXPECT_EQ(a.frameLength, 94u);
  EXPECT_EQ(a.lineLength, 582u);
  // 2448 - 96 - 4 = 0x92C, 2048 - 48 - 4 = 0x7CC, 582 = 0x246.
  EXPECT_EQ(StepsOf(a.Steps()),
            (std::vector<Step>{P(1280, 3), P(1296, 0x2C), P(1297, 0x09), P(1298, 0xCC),
                               P(1299, 0x07), P(1300, 96), P(1301, 0), P(1302, 48), P(1303, 0),
                               P(525, 0), P(532, 0x46), P(533, 0x02)}));

  // The 2 x 2 mode of the whole array crops nothing (its image, frame and
  // line: PregiusTest.WindowStoresTheAlignedAreaAndItsFrameAndTheTwoByTwoMode).
  EXPECT_EQ(pregius::PlanCaptureArea(0, 2448, 0, 2048, 1, 2448, 2048, true).Steps()[0], P(1280, 0));

  // Areas that do not fit once aligned, or are empty, write nothing.
  EXPECT_FALSE(pregius::PlanCaptureArea(1, 2448, 0, 2048, 0, 2448, 2048, false).ok);
  EXPECT_FALSE(pregius::PlanCaptureArea(0, 15, 0, 2048, 0, 2448, 2048, false).ok);
  EXPECT_FALSE(pregius::PlanCaptureArea(0xFFFFFFFF, 16, 0, 4, 0, 2448, 2048, false).ok);
  EXPECT_EQ(pregius::PlanCaptureArea(1, 2448, 0, 2048, 0, 2448, 2048, false).count, 0u);
}

TEST(Thermistor, ReadingsAndSetPointCodes) {
  EXPECT_NEAR(*thermistor::TemperatureOfReading(505), 24.9313, 1e-3);
  EXPECT_NEAR(*thermistor::TemperatureOfReading(800), 57.3633, 1e-3);
  // No resistance behind these readings.
  EXPECT_FALSE(thermistor::TemperatureOfReading(0));
  EXPECT_FALSE(thermistor::TemperatureOfReading(1024));
  EXPECT_FALSE(thermistor::TemperatureOfReading(60000));

  EXPECT_EQ(*thermistor::CodeOfTemperature(25), 505);
  EXPECT_EQ(*thermistor::CodeOfTemperature(-20), 86);
  EXPECT_FALSE(thermistor::CodeOfTemperature(-273.15));
  // Reading the target back truncates: 25 comes back as 24, -20 as -20.
  EXPECT_EQ(*thermistor::WholeDegreesOfCode(505), 24);
  EXPECT_EQ(*thermistor::WholeDegreesOfCode(86), -20);
  for (int t = -40; t <= 60; ++t) {
    const auto back = thermistor::WholeDegreesOfCode(*thermistor::CodeOfTemperature(t));
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == t || *back == t - 1) << t << " -> " << *back;
  }
}

}  // namespace
}  // namespace vexcam::test
