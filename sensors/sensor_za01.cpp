#include "sensors/sensor_za01.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// FPGA registers of this camera.
constexpr uint8_t kRegBusy = 2;
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
constexpr uint32_t kBusyAttempts = 100;
constexpr uint32_t kBusyRetryMs = 3;
constexpr uint32_t kReadBackPreset = 0x0A0A;  // never a valid 8-bit register value
constexpr uint32_t kRestartLowMs = 100;
constexpr uint32_t kMonitorPeriodMs = 100;
constexpr uint32_t kMonitorGapMs = 1;
constexpr uint32_t kMaxFrameLength = 65535;
constexpr uint32_t kFrameBlankingLines = 46;

// One window program: the 19 FPGA writes, in this order.
constexpr uint8_t kWindowRegisters[19] = {68, 69, 84, 85, 76, 77, 131, 132, 137, 135,
                                          64, 65, 80, 81, 72, 73, 138, 136, 143};

struct WindowMode {
  uint32_t x, y, width, height;
  uint8_t values[19];
  bool modeDependent;  // register 143 follows the sensor mode
};

// Register 143 is 3 in sensor mode 0 for the reduced windows, 99 otherwise.
constexpr uint8_t kMode143Normal = 99;
constexpr uint8_t kMode143Reduced = 3;

constexpr WindowMode kWindowModes[] = {
    // full 640 x 512
    {0, 0, 640, 512, {128, 2, 128, 2, 40, 0, 57, 48, 79, 0, 0, 2, 0, 2, 0, 0, 127, 0, 99}, false},
    // half 320 x 240 at (160, 136)
    {160,
     136,
     320,
     240,
     {64, 1, 64, 1, 24, 0, 12, 40, 39, 21, 240, 0, 240, 0, 0, 0, 59, 34, 99},
     true},
    // quarter 160 x 120 at (240, 196)
    {240,
     196,
     160,
     120,
     {160, 0, 64, 1, 24, 0, 12, 40, 19, 39, 120, 0, 120, 0, 0, 0, 29, 49, 99},
     true},
};
// Positions of the readout width bytes (registers 84 and 85) in the program.
constexpr size_t kReadoutLowIndex = 2;
constexpr size_t kReadoutHighIndex = 3;
constexpr size_t kWindowModeIndex = 18;

template <typename T>
uint32_t Put(T* out, T value) {
  if (out == nullptr) return 0;
  *out = value;
  return 1;
}

}  // namespace

CSensorZA01::CSensorZA01(CControllerBase* controller, uint8_t busAddress)
    : CSensorBase(controller, busAddress, SensorConstantsOf(SensorDriver::kZA01)) {}

CSensorZA01::~CSensorZA01() { JoinMonitor(); }

uint32_t CSensorZA01::InitSensor() {
  SetGlobalGain(info_.globalGain.defaultValue);  // not supported here; result ignored
  if (SetExposureLines(info_.exposureLines.defaultValue) == 0) return 0;
  SetMirrorH(info_.mirrorH.defaultValue);
  SetMirrorV(info_.mirrorV.defaultValue);
  return SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CSensorZA01::RestartPulse() {
  uint8_t value = 0;
  if (controller_->ReadFpgaRegister(kRegRestart, &value) == 0) return 0;
  if (controller_->WriteFpgaRegister(kRegRestart, value & ~1u) == 0) return 0;
  WaitMs(kRestartLowMs);
  return controller_->WriteFpgaRegister(kRegRestart, value | 1u) != 0 ? 1 : 0;
}

uint32_t CSensorZA01::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                     uint32_t /*areaFlag*/) {
  const uint32_t ax = (x + 3) & ~3u;
  const uint32_t aw = (width + 3) & ~3u;
  const uint32_t ah = (height + 3) & ~3u;
  const uint32_t ay = (y + 1) & ~1u;
  // Signed bounds, computed wide so that no sum overflows.
  const auto s = [](uint32_t v) { return static_cast<int64_t>(static_cast<int32_t>(v)); };
  if (s(ax) + s(aw) > s(info_.arrayWidth) || s(ay) + s(ah) > s(info_.arrayHeight)) return 0;

  uint32_t sensorMode = 0;
  GetSensorMode(&sensorMode);  // a failed read keeps 0

  const WindowMode* mode = nullptr;
  for (const WindowMode& m : kWindowModes) {
    if (m.x == ax && m.y == ay && m.width == aw && m.height == ah) mode = &m;
  }
  if (mode == nullptr) return 0;

  uint8_t values[19];
  std::copy(std::begin(mode->values), std::end(mode->values), values);
  if (mode->modeDependent) {
    values[kWindowModeIndex] = sensorMode == 0 ? kMode143Reduced : kMode143Normal;
  }

  if (controller_ != nullptr) {
    // Stop at the first failed write: the stored window stays the old one.
    for (size_t i = 0; i < std::size(kWindowRegisters); ++i) {
      if (controller_->WriteFpgaRegister(kWindowRegisters[i], values[i]) == 0) return 0;
    }
    if (RestartPulse() == 0 || PulseUpdateStrobe() == 0) return 0;
  }

  info_.areaX = ax;
  info_.areaY = ay;
  info_.areaWidth = aw;
  info_.areaHeight = ah;
  info_.lineLength =
      (static_cast<uint32_t>(values[kReadoutHighIndex]) << 8) | values[kReadoutLowIndex];
  return 1;
}

uint32_t CSensorZA01::GetCaptureArea(uint32_t* x, uint32_t* width, uint32_t* y, uint32_t* height,
                                     uint32_t* areaFlag) {
  if (x == nullptr || width == nullptr || y == nullptr || height == nullptr ||
      areaFlag == nullptr) {
    return 0;
  }
  *x = info_.areaX;
  *width = info_.areaWidth;
  *y = info_.areaY;
  *height = info_.areaHeight;
  *areaFlag = info_.areaFlag;
  return 1;
}

uint32_t CSensorZA01::SetTriggerMode(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  if (controller_->WriteFpgaRegister(kRegTrigger, mode != 0 ? 1 : 0) == 0) return 0;
  PulseUpdateStrobe();
  return 1;
}

uint32_t CSensorZA01::GetTriggerMode(uint32_t* mode) {
  if (controller_ == nullptr || mode == nullptr) return 0;
  uint8_t value = 0;
  if (controller_->ReadFpgaRegister(kRegTrigger, &value) == 0) return 0;
  *mode = value;
  return 1;
}

uint32_t CSensorZA01::SetExposureLines(uint32_t lines) {
  // A 24-bit counter: larger values saturate; there is no lower limit.
  const uint32_t n = std::min(lines, info_.exposureLines.maximum);
  // Without a controller there is nothing to program; the setting is accepted.
  if (controller_ == nullptr) return 1;
  if (controller_->WriteFpgaRegister(kRegExposure0, static_cast<uint8_t>(n)) == 0 ||
      controller_->WriteFpgaRegister(kRegExposure1, static_cast<uint8_t>(n >> 8)) == 0 ||
      controller_->WriteFpgaRegister(kRegExposure2, static_cast<uint8_t>(n >> 16)) == 0) {
    return 0;
  }
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CSensorZA01::GetExposureLines(uint32_t* lines) {
  return Put(lines, info_.exposureLines.current);
}
uint32_t CSensorZA01::GetGlobalGain(uint32_t* gain) { return Put(gain, info_.globalGain.current); }
uint32_t CSensorZA01::GetExposureLinesMin(uint32_t* lines) {
  return Put(lines, info_.exposureLines.minimum);
}
uint32_t CSensorZA01::GetExposureLinesMax(uint32_t* lines) {
  return Put(lines, info_.exposureLines.maximum);
}
uint32_t CSensorZA01::GetExposureLinesDefault(uint32_t* lines) {
  return Put(lines, info_.exposureLines.defaultValue);
}
uint32_t CSensorZA01::GetGlobalGainMin(uint32_t* gain) {
  return Put(gain, info_.globalGain.minimum);
}
uint32_t CSensorZA01::GetGlobalGainMax(uint32_t* gain) {
  return Put(gain, info_.globalGain.maximum);
}
uint32_t CSensorZA01::GetGlobalGainDefault(uint32_t* gain) {
  return Put(gain, info_.globalGain.defaultValue);
}
uint32_t CSensorZA01::GetColorGainMin(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.minimum);
}
uint32_t CSensorZA01::GetColorGainMax(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.maximum);
}
uint32_t CSensorZA01::GetColorGainDefault(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.defaultValue);
}

double CSensorZA01::LineTime() const {
  // 1/16 pixel clock per readout-mode unit plus 26 clocks of overhead per line.
  return (info_.lineLength * 0.0625 + 26.0) * 10.0 / info_.pixelClockKhz;
}

namespace {
uint32_t LinesToTime(uint32_t lines, double lineTime) {
  const auto t = static_cast<uint32_t>(lines * lineTime);
  return t == 0 ? 1 : t;
}
}  // namespace

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

uint32_t CSensorZA01::GetExposureTime(uint32_t* time) {
  return Put(time, info_.exposureTime.current);
}
uint32_t CSensorZA01::GetExposureTimeMin(uint32_t* time) {
  return Put(time, LinesToTime(info_.exposureLines.minimum, LineTime()));
}
uint32_t CSensorZA01::GetExposureTimeMax(uint32_t* time) {
  return Put(time, LinesToTime(info_.exposureLines.maximum, LineTime()));
}
uint32_t CSensorZA01::GetExposureTimeDefault(uint32_t* time) {
  return Put(time, info_.exposureTime.defaultValue);
}

// No hardware mirror: the state is kept for the image pipeline.
uint32_t CSensorZA01::SetMirrorV(uint32_t on) {
  info_.mirrorV.current = on;
  return 1;
}
uint32_t CSensorZA01::GetMirrorV(uint32_t* on) { return Put(on, info_.mirrorV.current); }
uint32_t CSensorZA01::SetMirrorH(uint32_t on) {
  info_.mirrorH.current = on;
  return 1;
}
uint32_t CSensorZA01::GetMirrorH(uint32_t* on) { return Put(on, info_.mirrorH.current); }

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

uint32_t CSensorZA01::WriteSensorRegister(uint32_t address, uint32_t value) {
  return BusWrite8(address, value);
}

uint32_t CSensorZA01::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return BusRead8(address, value);
}

uint32_t CSensorZA01::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  // Registers are 8 bits wide: a larger value could never read back equal.
  if (controller_ == nullptr || value > 0xFF) return 0;
  for (uint32_t attempt = 0; attempt < kBusyAttempts; ++attempt) {
    uint8_t busy = 1;
    if (controller_->ReadFpgaRegister(kRegBusy, &busy) != 0 && busy == 0) {
      const uint32_t written = WriteSensorRegister(address, value);
      uint32_t readBack = kReadBackPreset;
      ReadSensorRegisterRetry(address, &readBack);
      if (written != 0 && readBack == value) return 1;
    }
    WaitMs(kBusyRetryMs);
  }
  return 0;
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
  uint8_t value = 0;
  if (controller_->ReadFpgaRegister(kRegPeltier, &value) == 0) return 0;
  return value & 1u;
}

uint32_t CSensorZA01::SetPeltier(uint32_t on) {
  if (IsPeltierSupported() == 0) return 0;
  uint8_t value = 0;
  if (controller_->ReadFpgaRegister(kRegPeltier, &value) == 0) return 0;
  // Only exactly 1 switches the cooling on; the other bits are kept.
  const uint8_t next =
      on == 1 ? static_cast<uint8_t>(value | 1u) : static_cast<uint8_t>(value & ~1u);
  return controller_->WriteFpgaRegister(kRegPeltier, next) != 0 ? 1 : 0;
}

double CSensorZA01::TemperatureOfAdc(double meanSample) {
  // 12-bit ADC at 3.3 V full scale.
  const double v = meanSample * 3.3 * 0.000244140625;
  return (0.75 - ((v - 0.07 - 2.5) / 20.1 + 0.865 + 0.015)) / 0.00133 + 49.607;
}

uint32_t CSensorZA01::GetTemperature(double* celsius) {
  const uint32_t supported = IsTemperatureSupported();
  if (supported == 0) return supported;
  if (celsius == nullptr) return 0;
  uint64_t sum = 0;
  size_t n = 0;
  {
    CsLock lock(sample_lock_);
    n = samples_.size();
    for (uint16_t s : samples_) sum += s;
  }
  if (n == 0) return 0;
  *celsius = TemperatureOfAdc(static_cast<double>(sum) / static_cast<double>(n));
  return 1;
}

size_t CSensorZA01::SampleCount() {
  CsLock lock(sample_lock_);
  return samples_.size();
}

void CSensorZA01::ClearSamples() {
  CsLock lock(sample_lock_);
  samples_.clear();
}

bool CSensorZA01::MonitorWait(uint64_t generation, uint32_t ms) {
  TimerResolution resolution(1);
  std::unique_lock<std::mutex> lock(wait_lock_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms),
                 [&] { return active_gen_.load() != generation; });
  return active_gen_.load() == generation;
}

void CSensorZA01::MonitorLoop(uint64_t generation) {
  while (active_gen_.load() == generation && IsTemperatureSupported() != 0) {
    if (!MonitorWait(generation, kMonitorPeriodMs)) break;
    if (IsTemperatureSupported() == 0 || GetPeltier() == 0) {
      // Cooling off: old samples no longer describe the sensor.
      ClearSamples();
    } else {
      uint8_t low = 0;
      uint8_t high = 0;
      if (controller_->ReadFpgaRegister(kRegAdcLow, &low) != 0 &&
          controller_->ReadFpgaRegister(kRegAdcHigh, &high) != 0) {
        const uint16_t sample = static_cast<uint16_t>((high << 8) | low);
        // Readings above 12 bits or below 512 are not valid conversions.
        if (high <= 15 && sample >= 512) {
          CsLock lock(sample_lock_);
          samples_.push_back(sample);
          if (samples_.size() > kSampleWindow) samples_.pop_front();
        }
      }
    }
    if (!MonitorWait(generation, kMonitorGapMs)) break;
  }
}

void CSensorZA01::JoinMonitor() {
  std::thread old;
  {
    std::lock_guard<std::mutex> control(control_lock_);
    {
      std::lock_guard<std::mutex> lock(wait_lock_);
      active_gen_.store(0);
    }
    old = std::move(monitor_);
  }
  wake_.notify_all();
  if (old.joinable()) old.join();
}

void CSensorZA01::StartMonitor() {
  JoinMonitor();
  std::lock_guard<std::mutex> control(control_lock_);
  if (monitor_.joinable()) return;  // another thread started one meanwhile
  ClearSamples();
  const uint64_t generation = ++next_gen_;
  active_gen_.store(generation);
  monitor_ = std::thread([this, generation] { MonitorLoop(generation); });
}

void CSensorZA01::StopMonitor() {
  JoinMonitor();
  ClearSamples();
}

uint32_t CSensorZA01::GetSensorMode(uint32_t* state) {
  if (controller_ == nullptr || state == nullptr) return 0;
  uint8_t value = 0;
  if (controller_->ReadFpgaRegister(kRegSensorMode, &value) == 0 || value > 1) return 0;
  *state = value;
  return 1;
}

uint32_t CSensorZA01::SetSensorMode(uint32_t state) {
  if (controller_ == nullptr || state > 1) return 0;
  return controller_->WriteFpgaRegister(kRegSensorMode, static_cast<uint8_t>(state)) != 0 ? 1 : 0;
}

}  // namespace vexcam
