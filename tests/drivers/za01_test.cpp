// The 640 x 512 target camera's driver against its simulated camera.
#include <chrono>
#include <deque>
#include <thread>

#include "driver_fixture.h"
#include "sensors/sensor_za01.h"
#include "sensors/temperature_monitor.h"
#include "sensors/update_strobe.h"

namespace vexcam::test {
namespace {

// Polls until cond holds or about 5 s passed.
template <typename F>
bool WaitFor(F cond) {
  for (int i = 0; i < 500 && !cond(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return cond();
}

// Forwards to the real transport and makes the camera's bus fail from the
// n-th FPGA register write on: a camera lost in the middle of a sequence.
class BusLostAfter : public CControllerBase {
 public:
  BusLostAfter(CControllerBase* inner, sim::SimCamera* camera, int writes)
      : inner_(inner), camera_(camera), left_(writes) {}
  uint32_t GetFpgaVersion(uint16_t* v) override { return inner_->GetFpgaVersion(v); }
  uint32_t ReadFpgaRegister(uint8_t reg, uint8_t* v) override {
    return inner_->ReadFpgaRegister(reg, v);
  }
  uint32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
    if (left_-- == 0) camera_->InjectBusFailures(1000000);
    return inner_->WriteFpgaRegister(reg, value);
  }

 private:
  CControllerBase* inner_;
  sim::SimCamera* camera_;
  int left_;
};

class Za01Test : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    Attach(0x3200);
  }
  // The 19 window registers in program order, then the restart pulse of
  // register 129 (bit 0 low, then high) and the update strobe.
  static std::vector<RegWrite> Program(const uint8_t (&values)[19], uint8_t restart) {
    constexpr uint8_t kRegs[19] = {68, 69, 84, 85, 76, 77, 131, 132, 137, 135,
                                   64, 65, 80, 81, 72, 73, 138, 136, 143};
    std::vector<RegWrite> w;
    for (int i = 0; i < 19; ++i) w.push_back({kRegs[i], values[i]});
    w.push_back({129, restart & ~1u});
    w.push_back({129, restart | 1u});
    w.push_back({108, 1});
    w.push_back({108, 0});
    return w;
  }
  // True when the serial log ends with its first failed transaction: the
  // driver gave up at the failure.
  bool EndsAtFirstFailure() const {
    const auto log = camera->SerialLog();
    for (size_t i = 0; i < log.size(); ++i)
      if (!log[i].ok) return i + 1 == log.size();
    return false;
  }
  // Reads of one FPGA register (the read echoes the register address first).
  int FpgaReads(uint8_t reg) const {
    int n = 0;
    for (const sim::SimTransaction& t : camera->SerialLog(sim::kBusFpga))
      n += t.in && t.ok && !t.data.empty() && t.data[0] == reg;
    return n;
  }
};

TEST_F(Za01Test, FullHalfAndQuarterWriteTheExactPrograms) {
  const uint8_t full[19] = {128, 2, 128, 2, 40, 0, 57, 48, 79, 0, 0, 2, 0, 2, 0, 0, 127, 0, 99};
  const uint8_t half0[19] = {64, 1, 64, 1, 24, 0, 12, 40, 39, 21, 240, 0, 240, 0, 0, 0, 59, 34, 3};
  const uint8_t quarter1[19] = {160, 0, 64,  1, 24, 0, 12, 40, 19, 39,
                                120, 0, 120, 0, 0,  0, 29, 49, 99};
  CSensorZA01 s(transport.get(), kBus);
  camera->SetFpgaRegister(129, 0x06);  // the other restart bits are kept

  camera->SetFpgaRegister(130, 0);  // sensor mode 0: the full window still writes 99
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 7), 1u);
  EXPECT_EQ(FpgaWrites(), Program(full, 0x06));
  EXPECT_EQ(s.Info().lineLength, 640u);

  camera->ClearLog();
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  EXPECT_EQ(FpgaWrites(), Program(half0, 0x07));
  EXPECT_EQ(s.Info().lineLength, 320u);

  camera->ClearLog();
  camera->SetFpgaRegister(130, 1);  // sensor mode 1: reduced windows write 99
  ASSERT_EQ(s.SetCaptureArea(240, 160, 196, 120, 0), 1u);
  EXPECT_EQ(FpgaWrites(), Program(quarter1, 0x07));
  EXPECT_EQ(s.Info().lineLength, 320u);
}

TEST_F(Za01Test, AlignmentAndRefusedAreasKeepTheOldWindow) {
  CSensorZA01 s(transport.get(), kBus);
  // Width and height align up to 640 x 512.
  EXPECT_EQ(s.SetCaptureArea(0, 637, 0, 509, 0), 1u);
  EXPECT_EQ(AreaOf(s), (Area{0, 640, 0, 512, 0}));
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);

  camera->ClearLog();
  // x aligns to 4: does not fit; height 500 is no window mode; huge values
  // must not wrap into the array.
  EXPECT_EQ(s.SetCaptureArea(1, 640, 0, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 500, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0xFFFFFFFC, 640, 0, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 0xFFFFFFF0, 0, 512, 0), 0u);
  // Values whose alignment would wrap to 0 are refused, not taken as the origin.
  EXPECT_EQ(s.SetCaptureArea(0xFFFFFFFD, 640, 0, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0xFFFFFFFF, 512, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 0xFFFFFFFE, 0, 512, 0), 0u);
  EXPECT_TRUE(FpgaWrites().empty());

  EXPECT_EQ(AreaOf(s), (Area{160, 320, 136, 240, 0}));
}

TEST_F(Za01Test, BusLostMidProgramStopsThereAndKeepsTheOldWindow) {
  BusLostAfter lost(transport.get(), camera.get(), 19 + 4 + 7);
  CSensorZA01 s(&lost, kBus);
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  camera->ClearLog();
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 0u);
  EXPECT_EQ(FpgaWrites().size(), 7u);
  EXPECT_TRUE(EndsAtFirstFailure());
  EXPECT_EQ(AreaOf(s), (Area{160, 320, 136, 240, 0}));
  EXPECT_EQ(s.Info().lineLength, 320u);
}

// 150 for model numbers 103 and 115, none for 122, 108 for all others; a
// failed raise writes nothing more, a failed lowering is reported.
TEST_F(Za01Test, UpdateStrobeRegisterFollowsTheModelNumber) {
  const std::pair<uint32_t, std::vector<RegWrite>> cases[] = {
      {99, {{108, 1}, {108, 0}}},
      {103, {{150, 1}, {150, 0}}},
      {115, {{150, 1}, {150, 0}}},
      {122, {}},
  };
  for (const auto& [model, writes] : cases) {
    SCOPED_TRACE(model);
    camera->ClearLog();
    EXPECT_EQ(PulseUpdateStrobe(transport.get(), model), 1u);
    EXPECT_EQ(FpgaWrites(), writes);
  }
  EXPECT_EQ(PulseUpdateStrobe(nullptr, 99), 0u);
  for (int fail : {0, 1}) {
    SCOPED_TRACE(fail);
    camera->ClearFaults();
    camera->ClearLog();
    BusLostAfter lost(transport.get(), camera.get(), fail);
    EXPECT_EQ(PulseUpdateStrobe(&lost, 99), 0u);
    EXPECT_EQ(FpgaWrites().size(), size_t(fail));
    EXPECT_TRUE(EndsAtFirstFailure());
  }
  camera->ClearFaults();

  // The driver pulses it after its trigger write.
  CSensorZA01 s(transport.get(), kBus);
  s.SetModelId(115);
  camera->ClearLog();
  ASSERT_EQ(s.SetTriggerMode(5), 1u);
  EXPECT_EQ(FpgaWrites(), (std::vector<RegWrite>{{88, 1}, {150, 1}, {150, 0}}));
}

// The rest of what fails without a controller: family_walk_test.
TEST(Za01NoController, StoresTheWindowAndItsLineLength) {
  CSensorZA01 s(nullptr, kBus);
  EXPECT_EQ(s.SetCaptureArea(240, 160, 196, 120, 0), 1u);
  EXPECT_EQ(AreaOf(s), (Area{240, 160, 196, 120, 0}));
  EXPECT_EQ(s.Info().lineLength, 320u);
  EXPECT_EQ(s.IsPeltierSupported(), 0u);
}

TEST_F(Za01Test, ExposureCounterTimeAndFrameRate) {
  CSensorZA01 s(transport.get(), kBus);
  // The lines are a 24-bit counter in 133, 134 and 155 (their order and
  // bytes: SimCam.ExposureCounterIsNeverProgrammedByTwoThreadsAtOnce).
  ASSERT_EQ(s.SetExposureLines(0x7FFFFFFF), 1u);  // saturates
  EXPECT_EQ(camera->FpgaRegister(155), 0xFF);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 16777215u);
  // A failed write reports failure and keeps the stored count.
  camera->InjectBusFailures(1);
  EXPECT_EQ(s.SetExposureLines(5), 0u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 16777215u);
  camera->ClearFaults();

  // The time converts with the line time of the window, 66 x 10 / 9000.
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1363u);
  EXPECT_EQ(FpgaLE({133, 134}), 1363u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 100u);

  // Shorter than one line: refused, nothing changes.
  camera->ClearLog();
  EXPECT_EQ(s.SetExposureTime(0), 0u);
  EXPECT_TRUE(FpgaWrites().empty());
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 100u);

  // Longer than the counter: clamped, the stored time follows the clamp.
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 16777215u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 1230329u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 1230329u);

  // The reduced windows have a shorter line: (320 / 16 + 26) x 10 / 9000.
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1956u);

  // The frame rate stores the frame length and reapplies the time.
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  ASSERT_EQ(s.SetExposureLines(5), 1u);
  uint32_t rate = 300;  // 30.0 frames per second
  ASSERT_EQ(s.AccessSensorParameter(0, &rate), 1u);
  EXPECT_EQ(s.Info().frameLength, 3437u);
  // From the stored 100 x 0.1 ms, not 100 lines.
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1363u);

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

TEST_F(Za01Test, InitAppliesDefaultsAndTheFullWindowAndFailsOnADeadBus) {
  CSensorZA01 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  camera->SetFpgaRegister(133, 0);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 510u);
  EXPECT_EQ(camera->FpgaRegister(133), 254);  // 510 = 0x1FE
  EXPECT_EQ(AreaOf(s), (Area{0, 640, 0, 512, 0}));
  EXPECT_EQ(FpgaLE({84, 85}), 640u);

  camera->InjectBusFailures(1000);
  EXPECT_EQ(s.InitSensor(), 0u);
}

TEST_F(Za01Test, SixteenBitsReappliesTheWindowAndAFailureKeepsEightBits) {
  CSensorZA01 s(transport.get(), kBus);
  EXPECT_EQ(s.Info().bitsPerPixel, 0u);
  ASSERT_EQ(s.SetCaptureArea(160, 320, 136, 240, 0), 1u);
  camera->ClearLog();
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(s.Info().bitsPerPixel, 16u);
  EXPECT_EQ(FpgaWrites().size(), 19u + 4u);  // the program ran again
  ASSERT_EQ(s.SetDataBits(0), 1u);
  EXPECT_EQ(s.Info().bitsPerPixel, 8u);
  camera->InjectBusFailures(1000);
  EXPECT_EQ(s.SetDataBits(1), 0u);
  EXPECT_EQ(s.Info().bitsPerPixel, 8u);
}

TEST_F(Za01Test, TriggerAndSensorModeRegisters) {
  CSensorZA01 s(transport.get(), kBus);
  uint32_t v = 0;
  camera->SetFpgaRegister(88, 0x85);
  ASSERT_EQ(s.GetTriggerMode(&v), 1u);
  EXPECT_EQ(v, 0x85u);  // the whole byte
  ASSERT_EQ(s.SetTriggerMode(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(88), 0);

  camera->SetFpgaRegister(130, 2);
  EXPECT_EQ(s.GetSensorMode(&v), 0u);
  camera->SetFpgaRegister(130, 1);
  EXPECT_EQ(Get(s, &CSensorBase::GetSensorMode), 1u);
  EXPECT_EQ(s.SetSensorMode(2), 0u);
  ASSERT_EQ(s.SetSensorMode(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(130), 0);
}

TEST_F(Za01Test, PeltierIsBitZeroOfRegister151FromFpgaVersion0100) {
  camera->SetFpgaRegister(151, 0xF0);
  CSensorZA01 s(transport.get(), kBus);
  ASSERT_EQ(s.SetPeltier(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(151), 0xF1);
  EXPECT_EQ(s.GetPeltier(), 1u);
  ASSERT_EQ(s.SetPeltier(2), 1u);  // only exactly 1 switches on
  EXPECT_EQ(camera->FpgaRegister(151), 0xF0);
  EXPECT_EQ(s.GetPeltier(), 0u);
  EXPECT_EQ(s.IsPeltierSupported(), 1u);
  EXPECT_EQ(s.IsTemperatureSupported(), 1u);
  EXPECT_EQ(FpgaReads(16), 1);  // the version is read once and cached

  // Older FPGAs have neither.
  camera->SetFpgaVersion(0x00FF);
  CSensorZA01 old(transport.get(), kBus);
  camera->ClearLog();
  EXPECT_EQ(old.IsPeltierSupported(), 0u);
  EXPECT_EQ(old.IsTemperatureSupported(), 0u);
  EXPECT_EQ(old.SetPeltier(1), 0u);
  EXPECT_TRUE(FpgaWrites().empty());
}

// The monitor keeps the latest valid samples of a window and reports their
// mean; readings without a sample are skipped.
TEST(TemperatureMonitorWindow, MeanOfTheLatestValidSamples) {
  std::mutex lock;
  std::deque<int> trace;  // -1: no valid reading this cycle
  for (int i = 0; i < 24; ++i) trace.push_back(1000 + 10 * i);
  trace.insert(trace.begin() + 22, {-1, -1});
  TemperatureMonitor monitor({.enabled = [] { return true; },
                              .poll =
                                  [&](uint16_t* sample) {
                                    std::lock_guard guard(lock);
                                    if (trace.empty() || trace.front() < 0) {
                                      if (!trace.empty()) trace.pop_front();
                                      return TemperatureMonitor::Poll::kNothing;
                                    }
                                    *sample = static_cast<uint16_t>(trace.front());
                                    trace.pop_front();
                                    return TemperatureMonitor::Poll::kSample;
                                  }},
                             {.window = 19, .periodMs = 1, .gapMs = 0});
  double mean = 0;
  EXPECT_FALSE(monitor.Mean(&mean));
  monitor.Start();
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard guard(lock);
    return trace.empty();
  }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(monitor.SampleCount(), 19u);
  ASSERT_TRUE(monitor.Mean(&mean));
  EXPECT_DOUBLE_EQ(mean, (1050 + 1230) / 2.0);  // samples 1050 .. 1230
  monitor.Stop();
  EXPECT_EQ(monitor.SampleCount(), 0u);
  EXPECT_FALSE(monitor.Mean(&mean));
}

TEST_F(Za01Test, MonitorReportsTheSensorTemperatureWhileCooling) {
  camera->SetThermal(25.0, 25.0);
  CSensorZA01 s(transport.get(), kBus);
  ASSERT_EQ(s.SetPeltier(1), 1u);
  double t = 0;
  EXPECT_EQ(s.GetTemperature(&t), 0u);  // nothing sampled yet
  s.StartMonitor();
  EXPECT_EQ(s.IsMonitorRunning(), 1u);
  ASSERT_TRUE(WaitFor([&] { return s.SampleCount() >= 2; }));
  ASSERT_EQ(s.GetTemperature(&t), 1u);
  EXPECT_NEAR(t, camera->Temperature(), 0.1);
  EXPECT_EQ(s.GetTemperature(nullptr), 0u);

  // Cooling off: the samples no longer describe the sensor.
  camera->SetFpgaRegister(151, 0);
  ASSERT_TRUE(WaitFor([&] { return s.SampleCount() == 0; }));
  EXPECT_EQ(s.GetTemperature(&t), 0u);
  EXPECT_EQ(s.IsMonitorRunning(), 1u);
  s.StopMonitor();
  EXPECT_EQ(s.IsMonitorRunning(), 0u);
}

TEST_F(Za01Test, MonitorDropsReadingsBelowTheValidRange) {
  // Hot enough that the ADC reads below 512.
  camera->SetThermal(60.0, 60.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  CSensorZA01 s(transport.get(), kBus);
  ASSERT_EQ(s.SetPeltier(1), 1u);
  s.StartMonitor();
  ASSERT_TRUE(WaitFor([&] { return FpgaReads(4) >= 3; }));
  EXPECT_EQ(s.SampleCount(), 0u);
  double t = 0;
  EXPECT_EQ(s.GetTemperature(&t), 0u);
}

TEST_F(Za01Test, MonitorStartsStopsAndDiesWithTheDriver) {
  camera->SetFpgaRegister(151, 1);
  const auto start = std::chrono::steady_clock::now();
  {
    CSensorZA01 s(transport.get(), kBus);
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

TEST_F(Za01Test, SerialChannelAndVerifiedWrite) {
  CSensorZA01 s(transport.get(), kBus);
  ASSERT_EQ(s.WriteSensorRegister(0x1234, 0x56), 1u);
  EXPECT_EQ(SensorWrites(kBus, 1), (std::vector<RegWrite>{{0x1234, 0x56}}));
  uint32_t v = 0;
  ASSERT_EQ(s.ReadSensorRegister(0x1234, &v), 1u);
  EXPECT_EQ(v, 0x56u);

  // Busy for a few polls after each write, then written and read back.
  camera->SetBusyReadsAfterSensorWrite(3);
  ASSERT_EQ(s.WriteSensorRegisterVerified(0x0200, 0x11), 1u);
  EXPECT_EQ(camera->SensorRegister(0x0200), 0x11);
  ASSERT_EQ(s.ReadSensorRegisterRetry(0x0200, &v), 1u);
  EXPECT_EQ(v, 0x11u);
  // A failed transaction on the way is retried.
  camera->InjectBusFailures(2);
  ASSERT_EQ(s.WriteSensorRegisterVerified(0x0201, 0x12), 1u);
  EXPECT_EQ(camera->SensorRegister(0x0201), 0x12);

  // A write that can never be read back fails.
  camera->SetBusyReadsAfterSensorWrite(1000000);
  EXPECT_EQ(s.WriteSensorRegisterVerified(0x0202, 0x22), 0u);
  EXPECT_EQ(s.WriteSensorRegisterVerified(0x0200, 0x122), 0u);  // not 8 bits
}

}  // namespace
}  // namespace vexcam::test
