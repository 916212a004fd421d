#include "sensors/sensor_za14.h"

#include <algorithm>
#include <thread>

#include "sensors/fpga_register.h"
#include "sensors/seconds_exposure.h"

namespace vexcam {

namespace {

using Clock = std::chrono::steady_clock;

constexpr FpgaCommandTemperature kTemperature{.scale = 0.5031, .offset = 295.64};
// Microseconds per exposure line (the line period of the sensor's readout).
constexpr uint64_t kLineMicroseconds = 100;

}  // namespace

CSensorZA14::CSensorZA14(CControllerBase* controller, uint8_t busAddress, ZA14Probe probe)
    : CFpgaCommandSensor(controller, busAddress, SensorDriver::kZA14, kTemperature),
      probe_(probe) {}

uint32_t CSensorZA14::CheckSensor() {
  if (ProbeModule(controller_, probe_.module) == 0) return 0;
  // The FPGA takes over the sensor after the module: wait for its ready bit.
  const auto deadline = Clock::now() + probe_.readyLimit;
  for (;;) {
    uint8_t ready = 0;
    if (controller_->ReadFpgaRegister(kRegReady, &ready) != 0 && (ready & 1) != 0) return 1;
    if (Clock::now() + probe_.readyInterval > deadline) return 0;
    std::this_thread::sleep_for(probe_.readyInterval);
  }
}

uint32_t CSensorZA14::InitSensor() {
  // Free running, the record's analog gain, gain mode, mirrors and exposure.
  if (controller_ == nullptr) return 0;
  if (controller_->WriteFpgaRegister(kRegTrigger, 0) == 0) return 0;
  if (SetAnalogGain(info_.analogGain.current) == 0) return 0;
  if (SetGainMode(info_.gainMode.current) == 0) return 0;
  if (ApplyMirrors(info_.mirrorV.current, info_.mirrorH.current) == 0) return 0;
  if (SetExposureTimeEx(info_.exposureSeconds.current) == 0) return 0;
  return SetCaptureArea(0, info_.effectiveWidth, 0, info_.effectiveHeight, 0);
}

uint32_t CSensorZA14::SetExposureLines(uint32_t lines) {
  lines = std::clamp(lines, info_.exposureLines.minimum, info_.exposureLines.maximum);
  if (ProgramMicroseconds(uint64_t{lines} * kLineMicroseconds) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CSensorZA14::SetAnalogGain(uint32_t value) {
  value = std::min(value, info_.analogGain.maximum);
  if (FpgaRegister(controller_, kRegAnalogGainLow).Write(value & 0xFF) == 0 ||
      FpgaRegister(controller_, kRegAnalogGainHigh).Write((value >> 8) & 0x3F) == 0 ||
      commands_.Run(FpgaCommandChannel::kApplyGain) == 0) {
    return 0;
  }
  info_.analogGain.current = value;
  return 1;
}

uint32_t CSensorZA14::SetGainMode(uint32_t value) {
  if (value > info_.gainMode.maximum) return 0;
  if (FpgaRegister(controller_, kRegGainMode).Write(value) == 0 ||
      commands_.Run(FpgaCommandChannel::kApplyGain) == 0) {
    return 0;
  }
  info_.gainMode.current = value;
  return 1;
}

uint32_t CSensorZA14::GetGainMode(uint32_t* value) { return Put(value, info_.gainMode.current); }

uint32_t CSensorZA14::ApplyMirrors(uint32_t v, uint32_t h) {
  const uint32_t bits = (v != 0 ? 1u : 0u) | (h != 0 ? 2u : 0u);
  if (FpgaRegister(controller_, kRegMirror).Write(bits) == 0) return 0;
  if (commands_.Run(FpgaCommandChannel::kApplyMirror) == 0) return 0;
  info_.mirrorV.current = v != 0 ? 1 : 0;
  info_.mirrorH.current = h != 0 ? 1 : 0;
  return 1;
}

}  // namespace vexcam
