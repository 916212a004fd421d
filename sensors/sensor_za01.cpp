#include "sensors/sensor_za01.h"

#include <algorithm>
#include <cstdint>

#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// FPGA registers of this camera.
constexpr uint8_t kRegAdcLow = 4;
constexpr uint8_t kRegAdcHigh = 5;
constexpr uint8_t kRegTrigger = 88;
constexpr uint8_t kRegRestart = 129;
constexpr uint8_t kRegSensorMode = 130;
constexpr uint8_t kRegExposure0 = 133;  // bits 0-7
constexpr uint8_t kRegExposure1 = 134;  // bits 8-15
constexpr uint8_t kRegExposure2 = 155;  // bits 16-23
constexpr uint8_t kRegPeltier = 151;

constexpr uint16_t kMinPeltierVersion = 0x0100;
constexpr uint32_t kReadBackPreset = 0x0A0A;  // never a valid 8-bit register value
constexpr uint32_t kRestartLowMs = 100;
constexpr uint32_t kMonitorPeriodMs = 100;
constexpr uint32_t kMonitorGapMs = 1;
constexpr uint32_t kMaxFrameLength = 65535;
constexpr uint32_t kFrameBlankingLines = 46;
// ADC readings above 12 bits or below 512 are not valid conversions.
constexpr uint32_t kAdcMaxHighByte = 15;
constexpr uint32_t kAdcMinSample = 512;

// One window program: the 19 FPGA writes, in this order.
constexpr uint8_t kWindowRegisters[19] = {68, 69, 84, 85, 76, 77, 131, 132, 137, 135,
                                          64, 65, 80, 81, 72, 73, 138, 136, 143};

struct WindowProgram {
  uint8_t values[19];
  bool modeDependent;  // register 143 follows the sensor mode
};

// Register 143 is 3 in sensor mode 0 for the reduced windows, 99 otherwise.
constexpr uint8_t kMode143Normal = 99;
constexpr uint8_t kMode143Reduced = 3;

// One program per window mode of the row, in the row's order.
// clang-format off
constexpr WindowProgram kWindowPrograms[] = {
    // full 640 x 512
    {{128, 2, 128, 2, 40, 0, 57, 48, 79, 0, 0, 2, 0, 2, 0, 0, 127, 0, 99}, false},
    // half 320 x 240 at (160, 136)
    {{64, 1, 64, 1, 24, 0, 12, 40, 39, 21, 240, 0, 240, 0, 0, 0, 59, 34, 99}, true},
    // quarter 160 x 120 at (240, 196)
    {{160, 0, 64, 1, 24, 0, 12, 40, 19, 39, 120, 0, 120, 0, 0, 0, 29, 49, 99}, true},
};
// clang-format on
static_assert(std::size(kWindowPrograms) == std::size(sensor_table::kZA01Windows));

// Positions of the readout width bytes (registers 84 and 85) in the program.
constexpr size_t kReadoutLowIndex = 2;
constexpr size_t kReadoutHighIndex = 3;
constexpr size_t kWindowModeIndex = 18;

uint32_t LinesToTime(uint32_t lines, double lineTime) {
  const auto t = static_cast<uint32_t>(lines * lineTime);
  return t == 0 ? 1 : t;
}

}  // namespace

CSensorZA01::CSensorZA01(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kZA01),
      sensor_register_(controller, busAddress),
      exposure_counter_(controller, {kRegExposure0, kRegExposure1, kRegExposure2}),
      adc_(controller, {kRegAdcLow, kRegAdcHigh}),
      peltier_(controller, kRegPeltier),
      restart_(controller, kRegRestart),
      trigger_(controller, kRegTrigger),
      sensor_mode_(controller, kRegSensorMode),
      monitor_({.enabled = [this] { return IsTemperatureSupported() != 0; },
                .poll = [this](uint16_t* sample) { return PollAdc(sample); }},
               {.window = kSampleWindow, .periodMs = kMonitorPeriodMs, .gapMs = kMonitorGapMs}) {
  UseChannel(sensor_register_);
}

// The monitor's hooks call into this driver: stop it while the driver is whole.
CSensorZA01::~CSensorZA01() { monitor_.Stop(); }

uint32_t CSensorZA01::InitSensor() {
  SetGlobalGain(info_.globalGain.defaultValue);  // not supported here; result ignored
  if (SetExposureLines(info_.exposureLines.defaultValue) == 0) return 0;
  SetMirrorH(info_.mirrorH.defaultValue);
  SetMirrorV(info_.mirrorV.defaultValue);
  return SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CSensorZA01::RestartPulse() {
  uint32_t value = 0;
  if (restart_.Read(&value) == 0) return 0;
  if (restart_.Write(value & ~1u) == 0) return 0;
  WaitMs(kRestartLowMs);
  return restart_.Write(value | 1u);
}

uint32_t CSensorZA01::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                     uint32_t /*areaFlag*/) {
  // Aligned wide: a value that would wrap past 2^32 to 0 is refused, not
  // taken for the origin.
  const auto up = [](uint32_t v, uint64_t step) { return (uint64_t{v} + step - 1) & ~(step - 1); };
  const uint64_t wide[] = {up(x, 4), up(width, 4), up(y, 2), up(height, 4)};
  for (uint64_t v : wide) {
    if (v > UINT32_MAX) return 0;
  }
  const auto ax = static_cast<uint32_t>(wide[0]);
  const auto aw = static_cast<uint32_t>(wide[1]);
  const auto ay = static_cast<uint32_t>(wide[2]);
  const auto ah = static_cast<uint32_t>(wide[3]);
  // Signed bounds, computed wide so that no sum overflows.
  const auto s = [](uint32_t v) { return static_cast<int64_t>(static_cast<int32_t>(v)); };
  if (s(ax) + s(aw) > s(info_.arrayWidth) || s(ay) + s(ah) > s(info_.arrayHeight)) return 0;

  uint32_t sensorMode = 0;
  GetSensorMode(&sensorMode);  // a failed read keeps 0

  const int index = FindWindowMode(Row(), ax, ay, aw, ah);
  if (index < 0) return 0;
  const WindowProgram& program = kWindowPrograms[index];

  uint8_t values[19];
  std::copy(std::begin(program.values), std::end(program.values), values);
  if (program.modeDependent) {
    values[kWindowModeIndex] = sensorMode == 0 ? kMode143Reduced : kMode143Normal;
  }

  if (controller_ != nullptr) {
    // Stop at the first failed write: the stored window stays the old one.
    for (size_t i = 0; i < std::size(kWindowRegisters); ++i) {
      if (controller_->WriteFpgaRegister(kWindowRegisters[i], values[i]) == 0) return 0;
    }
    if (RestartPulse() == 0 || PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  }

  info_.areaX = ax;
  info_.areaY = ay;
  info_.areaWidth = aw;
  info_.areaHeight = ah;
  info_.lineLength =
      (static_cast<uint32_t>(values[kReadoutHighIndex]) << 8) | values[kReadoutLowIndex];
  return 1;
}

uint32_t CSensorZA01::SetTriggerMode(uint32_t mode) {
  if (trigger_.Write(mode != 0 ? 1 : 0) == 0) return 0;
  PulseUpdateStrobe(controller_, model_number_);
  return 1;
}

uint32_t CSensorZA01::GetTriggerMode(uint32_t* mode) { return trigger_.Read(mode); }

uint32_t CSensorZA01::SetExposureLines(uint32_t lines) {
  // A 24-bit counter: larger values saturate; there is no lower limit.
  const uint32_t n = std::min(lines, info_.exposureLines.maximum);
  // Without a controller there is nothing to program; the setting is accepted.
  if (controller_ == nullptr) return 1;
  if (exposure_counter_.Write(n) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

double CSensorZA01::LineTime() const {
  // 1/16 pixel clock per readout-mode unit plus 26 clocks of overhead per line.
  return (info_.lineLength * 0.0625 + 26.0) * 10.0 / info_.pixelClockKhz;
}

uint32_t CSensorZA01::SetExposureTime(uint32_t time) {
  const double lineTime = LineTime();
  // Saturate before converting: a huge time must not wrap the line count.
  const double exact = time / lineTime;
  uint32_t lines = exact >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(exact);
  if (lines == 0) return 0;
  uint32_t stored = time;
  if (lines > info_.exposureLines.maximum) {
    lines = info_.exposureLines.maximum;
    stored = LinesToTime(lines, lineTime);
  }
  if (info_.exposureLines.minimum > lines) {
    lines = info_.exposureLines.minimum;
    stored = LinesToTime(lines, lineTime);
  }
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = stored;
  return 1;
}

uint32_t CSensorZA01::ApplyMirrors(uint32_t v, uint32_t h) {
  info_.mirrorV.current = v;
  info_.mirrorH.current = h;
  return 1;
}

uint32_t CSensorZA01::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  if (operation != 0 || parameter == nullptr) return 0;
  const uint32_t rate = *parameter;  // tenths of frames per second
  if (rate == 0) return 0;
  const double framePeriod = 100000.0 / rate;
  const double lineTime = (info_.lineLength * 3.0 / 2.2) / info_.pixelClockKhz;
  const auto frameLines = static_cast<int64_t>(framePeriod / lineTime);
  const int64_t lower = static_cast<int64_t>(info_.areaHeight) + kFrameBlankingLines;
  info_.frameLength = static_cast<uint32_t>(
      std::clamp<int64_t>(frameLines, std::min<int64_t>(lower, kMaxFrameLength), kMaxFrameLength));
  // The frame length has no register of its own; re-applying the exposure
  // time lets the FPGA counter follow the new timing.
  return SetExposureTime(info_.exposureTime.current);
}

uint32_t CSensorZA01::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  // Registers are 8 bits wide: a larger value could never read back equal.
  if (value > 0xFF) return 0;
  return RetryWhileBusBusy(controller_, [&] {
    const uint32_t written = WriteSensorRegister(address, value);
    uint32_t readBack = kReadBackPreset;
    ReadSensorRegisterRetry(address, &readBack);
    return written != 0 && readBack == value ? 1u : 0u;
  });
}

uint32_t CSensorZA01::ReadSensorRegisterRetry(uint32_t address, uint32_t* value) {
  return BusyWaitRead(address, value);
}

uint32_t CSensorZA01::IsPeltierSupported() { return FpgaVersion() >= kMinPeltierVersion ? 1 : 0; }

uint32_t CSensorZA01::IsTemperatureSupported() {
  return FpgaVersion() >= kMinPeltierVersion ? 1 : 0;
}

uint32_t CSensorZA01::GetPeltier() {
  if (IsPeltierSupported() == 0) return 0;
  uint32_t value = 0;
  if (peltier_.Read(&value) == 0) return 0;
  return value & 1u;
}

uint32_t CSensorZA01::SetPeltier(uint32_t on) {
  if (IsPeltierSupported() == 0) return 0;
  // Only exactly 1 switches the cooling on; the other bits are kept.
  return peltier_.UpdateBits(1u, on == 1);
}

double CSensorZA01::TemperatureOfAdc(double meanSample) {
  // 12-bit ADC at 3.3 V full scale.
  const double v = meanSample * 3.3 * 0.000244140625;
  return (0.75 - ((v - 0.07 - 2.5) / 20.1 + 0.865 + 0.015)) / 0.00133 + 49.607;
}

uint32_t CSensorZA01::GetTemperature(double* celsius) {
  const uint32_t supported = IsTemperatureSupported();
  if (supported == 0) return supported;
  double mean = 0;
  if (celsius == nullptr || !monitor_.Mean(&mean)) return 0;
  *celsius = TemperatureOfAdc(mean);
  return 1;
}

TemperatureMonitor::Poll CSensorZA01::PollAdc(uint16_t* sample) {
  // Cooling off: old samples no longer describe the sensor.
  if (IsTemperatureSupported() == 0 || GetPeltier() == 0) return TemperatureMonitor::Poll::kDiscard;
  uint32_t value = 0;
  if (adc_.Read(&value) == 0 || (value >> 8) > kAdcMaxHighByte || value < kAdcMinSample) {
    return TemperatureMonitor::Poll::kNothing;
  }
  *sample = static_cast<uint16_t>(value);
  return TemperatureMonitor::Poll::kSample;
}

void CSensorZA01::StartMonitor() { monitor_.Start(); }

void CSensorZA01::StopMonitor() { monitor_.Stop(); }

uint32_t CSensorZA01::GetSensorMode(uint32_t* state) {
  uint32_t value = 0;
  if (state == nullptr || sensor_mode_.Read(&value) == 0 || value > 1) return 0;
  *state = value;
  return 1;
}

uint32_t CSensorZA01::SetSensorMode(uint32_t state) {
  if (state > 1) return 0;
  return sensor_mode_.Write(state);
}

}  // namespace vexcam
