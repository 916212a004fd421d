#include "sensors/sensor_za09.h"

#include <algorithm>
#include <thread>

#include "sensors/fpga_register.h"
#include "sensors/seconds_exposure.h"

namespace vexcam {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kReadyMask = 0x0F;
constexpr FpgaCommandTemperature kTemperature{.scale = 0.2384, .offset = 300.91};
constexpr uint32_t kModuleFixedPeriodBits = (1u << 12) | (1u << 15);

}  // namespace

uint32_t FpgaCommandChannel::ApplyExposure(uint64_t microseconds) const {
  const uint32_t us = static_cast<uint32_t>(std::min<uint64_t>(microseconds, 0xFFFFFFFFu));
  const FpgaRegisters<4> exposure(controller_, {kRegExposureFirst, kRegExposureFirst + 1,
                                                kRegExposureFirst + 2, kRegExposureFirst + 3});
  if (exposure.Write(us) == 0) return 0;
  return Run(kApplyExposure);
}

uint32_t FpgaCommandChannel::Run(uint8_t command) const {
  if (controller_ == nullptr) return 0;
  if (controller_->WriteFpgaRegister(kRegCommand, command) == 0) return 0;
  for (uint32_t i = 0; i < kBusySteps; ++i) {
    uint8_t busy = 0;
    if (controller_->ReadFpgaRegister(kRegBusy, &busy) == 0) return 0;
    if ((busy & 1) == 0) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
  }
  return 0;
}

uint32_t FpgaCommandChannel::ReadTemperatureWord(uint32_t* value) const {
  if (value == nullptr) return 0;
  // The sensor's thermometer is sampled (1), then its word fetched (2).
  if (Run(kLatchTemperature) == 0 || Run(kReadTemperature) == 0) return 0;
  return FpgaRegisters<2>(controller_, {kRegTemperatureLow, kRegTemperatureHigh}).Read(value);
}

uint32_t ProbeModule(CControllerBase* controller, const ModuleProbe& probe) {
  if (controller == nullptr) return 0;
  const auto deadline = Clock::now() + probe.limit;
  for (uint32_t i = 0; i < probe.attempts; ++i) {
    uint8_t status = 0xFF;
    if (controller->ReadSerialBus(CSensorZA09::kStatusBusAddress, &status, 1, 1000) != 0) {
      return (status & kReadyMask) == 0 ? 1 : 0;
    }
    if (Clock::now() + probe.interval > deadline) break;
    std::this_thread::sleep_for(probe.interval);
  }
  return 0;
}

CFpgaCommandSensor::CFpgaCommandSensor(CControllerBase* controller, uint8_t busAddress,
                                       SensorDriver driver,
                                       const FpgaCommandTemperature& temperature)
    : CRecordTimeSensor(controller, busAddress, driver),
      commands_(controller),
      temperature_(temperature) {}

uint32_t CFpgaCommandSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                            uint32_t areaFlag) {
  if (!AcceptsWindow(Row(), x, y, width, height) || width == 0 || height == 0) return 0;
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CFpgaCommandSensor::SetTriggerMode(uint32_t mode) {
  if (FpgaRegister(controller_, kRegTrigger).Write(mode == 1 ? 1 : 0) == 0) return 0;
  mode_flags_ = mode;
  return 1;
}

uint32_t CFpgaCommandSensor::GetTriggerMode(uint32_t* mode) { return ReportModeFlags(mode); }

uint32_t CFpgaCommandSensor::SetExposureTime(uint32_t time) {
  time = std::clamp(time, info_.exposureTime.minimum, info_.exposureTime.maximum);
  if (SetExposureTimeEx(time / 10000.0) == 0) return 0;
  info_.exposureTime.current = time;
  return 1;
}

uint32_t CFpgaCommandSensor::SetExposureTimeEx(double seconds) {
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    return ProgramMicroseconds(e.microseconds);
  });
}

uint32_t CFpgaCommandSensor::GetTemperature(double* celsius) {
  uint32_t value = 0;
  if (commands_.ReadTemperatureWord(&value) == 0) return 0;
  if (celsius == nullptr) return 0;
  *celsius = value * temperature_.scale - temperature_.offset;
  return 1;
}

uint32_t CFpgaCommandSensor::HasOperationMode() {
  return FpgaVersion() >= kOperationModeVersion ? 1 : 0;
}

uint32_t CFpgaCommandSensor::GetOperationModeState(uint32_t* state) {
  if (state == nullptr || HasOperationMode() == 0) return 0;
  return FpgaRegister(controller_, kRegOperationMode).Read(state);
}

uint32_t CFpgaCommandSensor::SetOperationMode(uint32_t mode) {
  if (HasOperationMode() == 0) return 0;
  return FpgaRegister(controller_, kRegOperationMode).Write(mode != 0 ? 1 : 0);
}

CSensorZA09::CSensorZA09(CControllerBase* controller, uint8_t busAddress, ModuleProbe probe)
    : CFpgaCommandSensor(controller, busAddress, SensorDriver::kZA09, kTemperature),
      probe_(probe) {}

uint32_t CSensorZA09::CheckSensor() { return ProbeModule(controller_, probe_); }

uint32_t CSensorZA09::InitSensor() {
  // Free running at the fast readout, the record's gain and exposure.
  if (controller_ == nullptr) return 0;
  if (controller_->WriteFpgaRegister(kRegTrigger, 0) == 0) return 0;
  if (SetGlobalGain(info_.globalGain.current) == 0) return 0;
  if (SetReadoutSpeed(1) == 0) return 0;
  return SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CSensorZA09::SetExposureLines(uint32_t lines) {
  lines = std::clamp(lines, info_.exposureLines.minimum, info_.exposureLines.maximum);
  // One line is the line period (0.1 us units).
  const uint64_t period = line_period_ != 0 ? line_period_ : kFastLinePeriod;
  if (ProgramMicroseconds(uint64_t{lines} * period / 10) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CSensorZA09::SetGlobalGain(uint32_t gain) {
  gain = std::min(gain, info_.globalGain.maximum);
  if (FpgaRegister(controller_, kRegGain).Write(gain) == 0) return 0;
  if (commands_.Run(FpgaCommandChannel::kApplyGain) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSensorZA09::ModuleVersion(uint32_t* version) {
  if (!module_version_read_) {
    uint32_t v = 0;
    if (FpgaRegisters<2>(controller_, {kRegModuleVersionLow, kRegModuleVersionHigh}).Read(&v) ==
        0) {
      return 0;
    }
    module_version_ = v;
    module_version_read_ = true;
  }
  *version = module_version_;
  return 1;
}

uint32_t CSensorZA09::CheckModuleVersion() {
  uint32_t version = 0;
  return ModuleVersion(&version) != 0 && (version & kModuleFixedPeriodBits) != 0 ? 1 : 0;
}

uint32_t CSensorZA09::GetModuleInfo(uint32_t* info) {
  if (info == nullptr) return 0;
  return ModuleVersion(info);
}

uint32_t CSensorZA09::SetReadoutSpeed(uint32_t speed) {
  if (speed > kMaxReadoutSpeed || controller_ == nullptr) return 0;
  uint32_t version = 0;
  if (ModuleVersion(&version) == 0) return 0;
  if ((version & kModuleFixedPeriodBits) == 0) {
    const uint32_t period = speed != 0 ? kFastLinePeriod : kSlowLinePeriod;
    // A period the FPGA did not take fails the call rather than carrying on.
    if (FpgaRegister(controller_, kRegLinePeriodLow).Write(period & 0xFF) == 0 ||
        FpgaRegister(controller_, kRegLinePeriodHigh).Write((period >> 8) & 0x3F) == 0 ||
        commands_.Run(FpgaCommandChannel::kApplyLinePeriod) == 0) {
      return 0;
    }
    uint32_t low = 0, high = 0;
    if (commands_.Run(FpgaCommandChannel::kReadLinePeriod) == 0 ||
        FpgaRegister(controller_, kRegLinePeriodReadLow).Read(&low) == 0 ||
        FpgaRegister(controller_, kRegLinePeriodReadHigh).Read(&high) == 0) {
      return 0;
    }
    line_period_ = low | (high & 0x3F) << 8;
    info_.exposureSeconds.minimum = speed != 0 ? kFastMinimumSeconds : kSlowMinimumSeconds;
  }
  // The exposure follows the new minimum and line period.
  if (SetExposureTimeEx(info_.exposureSeconds.current) == 0) return 0;
  return FpgaRegister(controller_, kRegReadoutSpeed).Write(speed);
}

uint32_t CSensorZA09::GetReadoutSpeed(uint32_t* speed) {
  if (speed == nullptr) return 0;
  return FpgaRegister(controller_, kRegReadoutSpeed).Read(speed);
}

}  // namespace vexcam
