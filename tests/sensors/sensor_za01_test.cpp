#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>

#include "fake_controller.h"
#include "sensors/sensor_za01.h"

namespace vexcam {
namespace {

using test::FakeController;
using test::Value;
using Writes = std::vector<std::pair<uint8_t, uint8_t>>;

constexpr uint8_t kRegs[19] = {68, 69, 84, 85, 76, 77, 131, 132, 137, 135,
                               64, 65, 80, 81, 72, 73, 138, 136, 143};

Writes Program(const uint8_t (&values)[19], uint8_t restartReg = 0x06) {
  Writes w;
  for (int i = 0; i < 19; ++i) w.emplace_back(kRegs[i], values[i]);
  w.emplace_back(129, restartReg & ~1);
  w.emplace_back(129, restartReg | 1);
  w.emplace_back(108, 1);
  w.emplace_back(108, 0);
  return w;
}

struct Area {
  uint32_t x, width, y, height, flag;
};
Area AreaOf(CSensorZA01& s) {
  Area a{};
  EXPECT_EQ(s.GetCaptureArea(&a.x, &a.width, &a.y, &a.height, &a.flag), 1u);
  return a;
}

TEST(Za01Window, FullHalfAndQuarterWriteTheExactPrograms) {
  const uint8_t full[19] = {128, 2, 128, 2, 40, 0, 57, 48, 79, 0, 0, 2, 0, 2, 0, 0, 127, 0, 99};
  const uint8_t half0[19] = {64, 1, 64, 1, 24, 0, 12, 40, 39, 21, 240, 0, 240, 0, 0, 0, 59, 34, 3};
  const uint8_t quarter1[19] = {160, 0, 64,  1, 24, 0, 12, 40, 19, 39,
                                120, 0, 120, 0, 0,  0, 29, 49, 99};

  FakeController fake;
  fake.fpga[129] = 0x06;
  CSensorZA01 s(&fake, 72);

  fake.fpga[130] = 0;  // sensor mode 0: the full window still writes 99
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 7), 1u);
  EXPECT_EQ(fake.fpgaWrites, Program(full));
  EXPECT_EQ(s.Info().lineLength, 640u);

  fake.Clear();
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  EXPECT_EQ(fake.fpgaWrites, Program(half0));
  EXPECT_EQ(s.Info().lineLength, 320u);
  const Area a = AreaOf(s);
  EXPECT_EQ(std::tie(a.x, a.width, a.y, a.height, a.flag),
            std::make_tuple(160u, 320u, 136u, 240u, 0u));

  fake.Clear();
  fake.fpga[130] = 1;  // sensor mode 1: reduced windows write 99
  ASSERT_EQ(s.SetCaptureArea(240, 160, 196, 120, 0), 1u);
  EXPECT_EQ(fake.fpgaWrites, Program(quarter1));
  EXPECT_EQ(s.Info().lineLength, 320u);
}

TEST(Za01Window, AlignmentAndRefusedAreas) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  // Width and height align up to 640 x 512.
  EXPECT_EQ(s.SetCaptureArea(0, 637, 0, 509, 0), 1u);
  EXPECT_EQ(AreaOf(s).width, 640u);
  EXPECT_EQ(AreaOf(s).height, 512u);
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);

  fake.Clear();
  // x aligns to 4: does not fit; height 500 is no window mode; other sizes too.
  EXPECT_EQ(s.SetCaptureArea(1, 640, 0, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 500, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 240, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0xFFFFFFFC, 640, 0, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 0xFFFFFFF0, 0, 512, 0), 0u);
  EXPECT_TRUE(fake.fpgaWrites.empty());
  EXPECT_EQ(AreaOf(s).width, 320u);  // the half window stays
  EXPECT_EQ(s.Info().lineLength, 320u);
}

TEST(Za01Window, BusFailureMidProgramKeepsTheOldWindow) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  fake.Clear();
  fake.FailAfter(7);
  EXPECT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 0u);
  EXPECT_EQ(fake.fpgaWrites.size(), 7u);  // stopped at the first failure
  EXPECT_EQ(AreaOf(s).width, 640u);
  EXPECT_EQ(s.Info().lineLength, 640u);
}

TEST(Za01Window, WithoutControllerTheWindowIsStillStored) {
  CSensorZA01 s(nullptr, 72);
  EXPECT_EQ(s.SetCaptureArea(240, 160, 196, 120, 0), 1u);
  EXPECT_EQ(AreaOf(s).width, 160u);
  EXPECT_EQ(s.Info().lineLength, 320u);
  EXPECT_EQ(s.SetExposureLines(10), 1u);
  EXPECT_EQ(s.WriteSensorRegister(1, 2), 0u);
  EXPECT_EQ(s.IsPeltierSupported(), 0u);
  EXPECT_EQ(s.SetTriggerMode(1), 0u);
  double t = 0;
  EXPECT_EQ(s.GetTemperature(&t), 0u);
}

TEST(Za01Exposure, LinesAreA24BitCounterInThreeRegisters) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.SetExposureLines(0x123456), 1u);
  EXPECT_EQ(fake.fpgaWrites, (Writes{{133, 0x56}, {134, 0x34}, {155, 0x12}}));
  fake.Clear();
  ASSERT_EQ(s.SetExposureLines(0x7FFFFFFF), 1u);
  EXPECT_EQ(fake.fpgaWrites, (Writes{{133, 0xFF}, {134, 0xFF}, {155, 0xFF}}));
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 16777215u);
  // A failed write reports failure and keeps the stored count.
  fake.Clear();
  fake.FailAfter(2);
  EXPECT_EQ(s.SetExposureLines(5), 0u);
  EXPECT_EQ(fake.fpgaWrites.size(), 2u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 16777215u);
}

TEST(Za01Exposure, TimeConvertsWithTheLineTimeOfTheWindow) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  EXPECT_NEAR(s.LineTime(), 66.0 * 10.0 / 9000.0, 1e-12);
  fake.Clear();
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 1363u);
  EXPECT_EQ(fake.fpgaWrites, (Writes{{133, 0x53}, {134, 0x05}, {155, 0x00}}));
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureTime), 100u);

  // Shorter than one line: refused, nothing changes.
  fake.Clear();
  EXPECT_EQ(s.SetExposureTime(0), 0u);
  EXPECT_TRUE(fake.fpgaWrites.empty());
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureTime), 100u);

  // Longer than the counter: clamped, the stored time follows the clamp.
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 16777215u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureTime), 1230329u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureTimeMax), 1230329u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureTimeMin), 1u);  // 0.073 truncates to 0, reported as 1

  // The reduced windows have a shorter line: (320 / 16 + 26) x 10 / 9000.
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 1956u);
}

TEST(Za01Exposure, FrameRateStoresFrameLengthAndReappliesTheTime) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  ASSERT_EQ(s.SetExposureLines(5), 1u);
  uint32_t rate = 300;  // 30.0 frames per second
  ASSERT_EQ(s.AccessSensorParameter(0, &rate), 1u);
  EXPECT_EQ(s.Info().frameLength, 3437u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines),
            1363u);  // from the stored 100 x 0.1 ms, not 100 lines

  rate = 100000;  // faster than the window allows: limited to height + 46
  ASSERT_EQ(s.AccessSensorParameter(0, &rate), 1u);
  EXPECT_EQ(s.Info().frameLength, 558u);
  rate = 1;  // slower than 16 bits of lines
  ASSERT_EQ(s.AccessSensorParameter(0, &rate), 1u);
  EXPECT_EQ(s.Info().frameLength, 65535u);

  rate = 0;
  EXPECT_EQ(s.AccessSensorParameter(0, &rate), 0u);
  EXPECT_EQ(s.AccessSensorParameter(1, &rate), 0u);
  EXPECT_EQ(s.AccessSensorParameter(0, nullptr), 0u);
}

TEST(Za01Init, AppliesDefaultsAndTheFullWindow) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  EXPECT_EQ(s.CheckSensor(), 1u);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(Value(s, &CSensorZA01::GetExposureLines), 510u);
  EXPECT_EQ(AreaOf(s).width, 640u);
  ASSERT_GE(fake.fpgaWrites.size(), 3u);
  EXPECT_EQ(fake.fpgaWrites[0], (std::pair<uint8_t, uint8_t>{133, 254}));  // 510 = 0x1FE

  FakeController dead;
  dead.FailAfter(0);
  CSensorZA01 s2(&dead, 72);
  EXPECT_EQ(s2.InitSensor(), 0u);
}

TEST(Za01Data, SixteenBitsReappliesTheWindow) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  EXPECT_EQ(s.Info().bitsPerPixel, 0u);
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  fake.Clear();
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(s.Info().bitsPerPixel, 16u);
  EXPECT_EQ(fake.fpgaWrites.size(), 19u + 4u);  // the program ran again
  ASSERT_EQ(s.SetDataBits(0), 1u);
  EXPECT_EQ(s.Info().bitsPerPixel, 8u);
  fake.FailAfter(0);
  EXPECT_EQ(s.SetDataBits(1), 0u);
  EXPECT_EQ(s.Info().bitsPerPixel, 8u);
}

TEST(Za01Fpga, TriggerAndSensorMode) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  uint32_t v = 0;
  fake.fpga[88] = 0x85;
  ASSERT_EQ(s.GetTriggerMode(&v), 1u);
  EXPECT_EQ(v, 0x85u);  // the whole byte
  ASSERT_EQ(s.SetTriggerMode(0), 1u);
  EXPECT_EQ(fake.fpga[88], 0u);

  fake.fpga[130] = 2;
  EXPECT_EQ(s.GetSensorMode(&v), 0u);
  fake.fpga[130] = 1;
  ASSERT_EQ(s.GetSensorMode(&v), 1u);
  EXPECT_EQ(v, 1u);
  EXPECT_EQ(s.SetSensorMode(2), 0u);
  ASSERT_EQ(s.SetSensorMode(0), 1u);
  EXPECT_EQ(fake.fpga[130], 0u);
}

TEST(Za01Cooling, PeltierIsReadModifyWriteOfBitZeroFromFpgaVersion0100) {
  FakeController fake;
  fake.fpga[151] = 0xF0;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.SetPeltier(1), 1u);
  EXPECT_EQ(fake.fpga[151], 0xF1);
  EXPECT_EQ(s.GetPeltier(), 1u);
  ASSERT_EQ(s.SetPeltier(2), 1u);  // only exactly 1 switches on
  EXPECT_EQ(fake.fpga[151], 0xF0);
  EXPECT_EQ(s.GetPeltier(), 0u);
  EXPECT_EQ(fake.versionReads, 1);  // the version is cached
  EXPECT_EQ(s.IsPeltierSupported(), 1u);
  EXPECT_EQ(s.IsTemperatureSupported(), 1u);

  // Older FPGAs have neither.
  FakeController old;
  old.fpgaVersion = 0x00FF;
  CSensorZA01 s2(&old, 72);
  EXPECT_EQ(s2.IsPeltierSupported(), 0u);
  EXPECT_EQ(s2.IsTemperatureSupported(), 0u);
  EXPECT_EQ(s2.SetPeltier(1), 0u);
  EXPECT_TRUE(old.fpgaWrites.empty());
}

TEST(Za01Temperature, FormulaAtKnownAdcValues) {
  EXPECT_NEAR(CSensorZA01::TemperatureOfAdc(2048.0), -13.722966707814322, 1e-9);
  EXPECT_NEAR(CSensorZA01::TemperatureOfAdc(1000.0), 17.86106566790111, 1e-9);
}

// Polls until cond holds or about 5 s passed.
template <typename F>
bool WaitFor(F cond) {
  for (int i = 0; i < 500; ++i) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return cond();
}

TEST(Za01Temperature, MonitorAveragesTheLatest19ValidSamples) {
  FakeController fake;
  fake.fpga[151] = 1;  // cooling on
  std::vector<uint16_t> trace;
  for (uint16_t i = 0; i < 24; ++i) trace.push_back(static_cast<uint16_t>(1000 + 10 * i));
  // Invalid readings in between are dropped: high byte above 15, below 512.
  trace.insert(trace.begin() + 22, 0x1000);
  trace.insert(trace.begin() + 23, 511);
  fake.SetAdcTrace(trace);

  CSensorZA01 s(&fake, 72);
  double t = 0;
  EXPECT_EQ(s.GetTemperature(&t), 0u);  // nothing sampled yet
  s.StartMonitor();
  EXPECT_EQ(s.IsMonitorRunning(), 1u);
  ASSERT_TRUE(WaitFor([&] { return fake.AdcDrained(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(s.SampleCount(), CSensorZA01::kSampleWindow);
  // The last 19 valid samples are 1050 .. 1230.
  double mean = 0;
  for (int i = 5; i < 24; ++i) mean += 1000 + 10 * i;
  mean /= 19.0;
  ASSERT_EQ(s.GetTemperature(&t), 1u);
  EXPECT_NEAR(t, CSensorZA01::TemperatureOfAdc(mean), 1e-9);
  EXPECT_EQ(s.GetTemperature(nullptr), 0u);

  s.StopMonitor();
  EXPECT_EQ(s.IsMonitorRunning(), 0u);
  EXPECT_EQ(s.SampleCount(), 0u);
  EXPECT_EQ(s.GetTemperature(&t), 0u);
}

TEST(Za01Temperature, CoolingOffEmptiesTheQueue) {
  FakeController fake;
  fake.fpga[4] = 0xE8;  // 1000
  fake.fpga[5] = 0x03;
  fake.SetFpga(151, 1);
  CSensorZA01 s(&fake, 72);
  s.StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return s.SampleCount() >= 2; }));
  double t = 0;
  ASSERT_EQ(s.GetTemperature(&t), 1u);
  EXPECT_NEAR(t, CSensorZA01::TemperatureOfAdc(1000.0), 1e-9);
  fake.SetFpga(151, 0);
  ASSERT_TRUE(WaitFor([&] { return s.SampleCount() == 0; }));
  EXPECT_EQ(s.GetTemperature(&t), 0u);
  EXPECT_EQ(s.IsMonitorRunning(), 1u);
}

TEST(Za01Temperature, MonitorStartsStopsAndDiesWithTheDriver) {
  FakeController fake;
  fake.SetFpga(151, 1);
  auto start = std::chrono::steady_clock::now();
  {
    CSensorZA01 s(&fake, 72);
    s.StartMonitor();
    s.StartMonitor();  // restarts: the old thread is joined first
    std::thread other([&] { s.StopMonitor(); });
    s.StartMonitor();
    other.join();
    s.StartMonitor();
  }  // the destructor stops and joins the running monitor
  // Stopping cuts the 100 ms waits short.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
}

TEST(Za01Registers, SerialChannelAndVerifiedWrite) {
  FakeController fake;
  CSensorZA01 s(&fake, 72);
  ASSERT_EQ(s.WriteSensorRegister(0x1234, 0x56), 1u);
  ASSERT_EQ(fake.busWrites.size(), 1u);
  EXPECT_EQ(fake.busWrites[0].address, 72);
  EXPECT_EQ(fake.busWrites[0].bytes, (std::vector<uint8_t>{0x12, 0x34, 0x56}));
  uint32_t v = 0;
  ASSERT_EQ(s.ReadSensorRegister(0x1234, &v), 1u);
  EXPECT_EQ(v, 0x56u);

  // Busy for a few polls, then written and read back.
  fake.Clear();
  fake.busyReads = 3;
  ASSERT_EQ(s.WriteSensorRegisterVerified(0x0200, 0x11), 1u);
  EXPECT_EQ(fake.sensor[0x0200], 0x11);
  fake.busyReads = 2;
  ASSERT_EQ(s.ReadSensorRegisterRetry(0x0200, &v), 1u);
  EXPECT_EQ(v, 0x11u);

  // A register that never takes the value fails after 100 attempts.
  fake.frozenRegisters = true;
  fake.Clear();
  EXPECT_EQ(s.WriteSensorRegisterVerified(0x0200, 0x22), 0u);
  EXPECT_EQ(fake.busWrites.size(), 200u);                       // 100 writes and 100 read addresses
  EXPECT_EQ(s.WriteSensorRegisterVerified(0x0200, 0x122), 0u);  // not 8 bits
}

}  // namespace
}  // namespace vexcam
