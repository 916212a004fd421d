#include "sensors/sensor_glux9701.h"

#include <algorithm>
#include <thread>

#include "sensors/fpga_register.h"
#include "sensors/seconds_exposure.h"

namespace vexcam {

namespace {

constexpr double kTemperatureScale = 0.3213;
constexpr double kTemperatureOffset = 287.09;

// Start-up of the sensor: standby, its clock and line timing for 37.037 MHz
// (line 1344 = 0x540, frame 1054 = 0x41E clocks), 8-bit output, black level.
constexpr ProgramStep kStartUp[] = {
    // Standby while the timing is loaded.
    WriteStep(CSensorGLUX9701::kRegOperation, 0),
    WaitStep(10),
    // Clock divider and PLL multiplier, then the PLL lock time.
    WriteStep(2, 0x01),
    WriteStep(3, 0x2D),
    WaitStep(5),
    // Line and frame length.
    WriteStep(8, 0x40),
    WriteStep(9, 0x05),
    WriteStep(10, 0x1E),
    WriteStep(11, 0x04),
    // 8-bit output and the black level clamp.
    WriteStep(CSensorGLUX9701::kRegOutputDepth, 0),
    WriteStep(40, 0x3C),
    WriteStep(41, 0x00),
};

void Sleep(std::chrono::milliseconds ms) {
  if (ms.count() > 0) std::this_thread::sleep_for(ms);
}

}  // namespace

CSensorGLUX9701::CSensorGLUX9701(CControllerBase* controller, uint8_t busAddress, GluxProbe probe)
    : CRecordTimeSensor(controller, busAddress, SensorDriver::kGLUX9701),
      probe_(probe),
      channel_(controller, busAddress, SonyRegister::Options{}) {
  UseChannel(channel_);
}

uint32_t CSensorGLUX9701::ReadLinkState(uint32_t* state) {
  return FpgaRegister(controller_, kRegLinkState).Read(state);
}

uint32_t CSensorGLUX9701::CheckSensor() {
  if (controller_ == nullptr) return 0;
  uint32_t revision = 0, link = 0;
  if (FpgaRegister(controller_, kRegFpgaRevision).Read(&revision) != 0 &&
      revision >= kRevisionSelfStart) {
    return 1;
  }
  if (ReadLinkState(&link) != 0 && link == kLinkUp) return 1;
  // Older FPGAs: give the link time, then reset the sensor until it comes up.
  Sleep(probe_.settle);
  for (uint32_t i = 0; i < probe_.attempts; ++i) {
    if (ReadLinkState(&link) != 0 && link == kLinkUp) return 1;
    ResetSensor();
    Sleep(probe_.resetWait);
  }
  return 0;
}

uint32_t CSensorGLUX9701::ResetSensor() {
  const FpgaRegister reset(controller_, kRegSensorReset);
  if (reset.Write(1) == 0) return 0;
  WaitMs(kResetPulseMs);
  return reset.Write(0);
}

uint32_t CSensorGLUX9701::InitSensor() {
  if (RunProgram(kStartUp) == 0) return 0;
  info_.bitsPerPixel = 8;
  if (SetGlobalGain(info_.globalGain.current) == 0) return 0;
  if (SetAnalogGain(info_.analogGain.current) == 0) return 0;
  if (ApplyMirrors(info_.mirrorV.current, info_.mirrorH.current) == 0) return 0;
  if (SetExposureLines(info_.exposureLines.current) == 0) return 0;
  return SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CSensorGLUX9701::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                         uint32_t areaFlag) {
  if (!AcceptsWindow(Row(), x, y, width, height) || width == 0 || height == 0) return 0;
  const uint32_t values[] = {x, y, width, height};
  for (uint32_t i = 0; i < 4; ++i) {
    const uint32_t reg = kRegWindowFirst + 2 * i;
    if (WriteSensorRegisterVerified(reg, values[i] & 0xFF) == 0 ||
        WriteSensorRegisterVerified(reg + 1, values[i] >> 8) == 0) {
      return 0;
    }
  }
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CSensorGLUX9701::SetTriggerMode(uint32_t mode) {
  if (FpgaRegister(controller_, kRegTrigger).Write(mode == 1 ? 1 : 0) == 0) return 0;
  mode_flags_ = mode;
  return 1;
}

uint32_t CSensorGLUX9701::GetTriggerMode(uint32_t* mode) { return ReportModeFlags(mode); }

uint32_t CSensorGLUX9701::SetDataBits(uint32_t sixteenBit) {
  if (WriteSensorRegisterVerified(kRegOutputDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  return ApplyDataBits(sixteenBit);
}

uint32_t CSensorGLUX9701::SetExposureLines(uint32_t lines) {
  lines = std::clamp(lines, info_.exposureLines.minimum, info_.exposureLines.maximum);
  if (WriteSensorRegisterVerified(kRegShutterLow, lines & 0xFF) == 0 ||
      WriteSensorRegisterVerified(kRegShutterHigh, lines >> 8) == 0) {
    return 0;
  }
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CSensorGLUX9701::SetGlobalGain(uint32_t gain) {
  gain = std::clamp(gain, info_.globalGain.minimum, info_.globalGain.maximum);
  if (WriteSensorRegisterVerified(kRegGain, gain) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSensorGLUX9701::SetAnalogGain(uint32_t value) {
  value = std::min(value, info_.analogGain.maximum);
  if (WriteSensorRegisterVerified(kRegAnalogGainLow, value & 0xFF) == 0 ||
      WriteSensorRegisterVerified(kRegAnalogGainHigh, (value >> 8) & 0x3F) == 0) {
    return 0;
  }
  info_.analogGain.current = value;
  return 1;
}

uint32_t CSensorGLUX9701::SetExposureTime(uint32_t time) {
  time = std::clamp(time, info_.exposureTime.minimum, info_.exposureTime.maximum);
  const auto lines = static_cast<uint32_t>(std::max(1.0, time / LineTime()));
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = time;
  return 1;
}

uint32_t CSensorGLUX9701::SetExposureTimeEx(double seconds) {
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    return SetExposureTime(std::max<uint32_t>(e.tenthsMs, 1));
  });
}

uint32_t CSensorGLUX9701::ApplyMirrors(uint32_t v, uint32_t h) {
  const uint32_t bits = (v != 0 ? 1u : 0u) | (h != 0 ? 2u : 0u);
  if (WriteSensorRegisterVerified(kRegMirror, bits) == 0) return 0;
  info_.mirrorV.current = v != 0 ? 1 : 0;
  info_.mirrorH.current = h != 0 ? 1 : 0;
  return 1;
}

uint32_t CSensorGLUX9701::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  return channel_.WriteVerified(address, value);
}
uint32_t CSensorGLUX9701::ReadSensorRegisterRetry(uint32_t address, uint32_t* value) {
  return channel_.ReadRetry(address, value);
}

uint32_t CSensorGLUX9701::GetTemperature(double* celsius) {
  uint32_t high = 0, low = 0;
  if (ReadSensorRegisterRetry(kRegTemperatureHigh, &high) == 0 ||
      ReadSensorRegisterRetry(kRegTemperatureLow, &low) == 0) {
    return 0;
  }
  if (celsius == nullptr) return 0;
  *celsius = ((high & 0xFF) << 8 | (low & 0xFF)) * kTemperatureScale - kTemperatureOffset;
  return 1;
}

}  // namespace vexcam
