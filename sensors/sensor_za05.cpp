#include "sensors/sensor_za05.h"

#include <algorithm>

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// Coarse gain (bits 4-5) times fine gain (bits 0-3) for the twelve steps:
// 1x to 8x in roughly 1.2x steps.
constexpr uint16_t kGainWords[12] = {0x0000, 0x0004, 0x0008, 0x000C, 0x0010, 0x0014,
                                     0x0018, 0x001C, 0x0030, 0x0034, 0x0038, 0x003C};

constexpr ProgramStep kStartup[] = {
    // Soft reset, then the serial interface in standby.
    WriteStep(CSensorZA05::kRegResetControl, 0x0001),
    WaitStep(100),
    WriteStep(CSensorZA05::kRegResetControl, 0x10D8),
    // PLL for the 37.125 MHz pixel clock: pre-divider, multiplier, dividers.
    WriteStep(0x302E, 2),
    WriteStep(0x3030, 44),
    WriteStep(0x302C, 1),
    WriteStep(0x302A, 8),
    WaitStep(1),
    // 12-bit parallel output, row noise correction and black level.
    WriteStep(0x31AC, 0x0C0C),
    WriteStep(0x30D4, 0xE007),
    WriteStep(0x3044, 0x0400),
    // Normal read mode (no mirror, no skip).
    WriteStep(CSensorZA05::kRegReadMode, 0),
    // Streaming on.
    WriteStep(CSensorZA05::kRegResetControl, CSensorZA05::kResetStreaming),
};

}  // namespace

CSensorZA05::CSensorZA05(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kZA05),
      sensor_register_(controller, busAddress),
      read_mode_(sensor_register_, kRegReadMode, 0),
      trigger_(sensor_register_, {kRegResetControl, kResetStreaming, kResetTriggered}) {
  UseChannel(sensor_register_);
}

uint16_t CSensorZA05::GainWord(uint32_t step) { return kGainWords[std::min<uint32_t>(step, 11)]; }

uint32_t CSensorZA05::InitSensor() {
  if (RunProgram(kStartup) == 0) return 0;
  read_mode_.Assume(0);
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0) return 0;
  if (SetMirrorV(info_.mirrorV.defaultValue) == 0 || SetMirrorH(info_.mirrorH.defaultValue) == 0) {
    return 0;
  }
  if (SetCaptureArea(0, info_.effectiveWidth, 0, info_.effectiveHeight, 0) == 0) return 0;
  return SetExposureTime(info_.exposureTime.defaultValue);
}

uint32_t CSensorZA05::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                     uint32_t areaFlag) {
  if (width < 2 || height < 2 || (x | width | height) & 1u) return 0;
  if (uint64_t{x} + width > info_.arrayWidth || uint64_t{y} + height > info_.arrayHeight) {
    return 0;
  }
  const uint32_t frameLength = height + kFrameBlanking;
  const uint32_t writes[][2] = {{kRegColumnStart, x},
                                {kRegRowStart, y},
                                {kRegColumnEnd, x + width - 1},
                                {kRegRowEnd, y + height - 1},
                                {kRegLineLength, info_.lineLength},
                                {kRegFrameLength, frameLength}};
  for (const auto& w : writes) {
    if (WriteSensorRegister(w[0], w[1]) == 0) return 0;
  }
  info_.frameLength = frameLength;
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CSensorZA05::SetTriggerMode(uint32_t mode) { return trigger_.Set(mode != 0 ? 1 : 0); }

uint32_t CSensorZA05::GetTriggerMode(uint32_t* mode) { return trigger_.Get(mode); }

uint32_t CSensorZA05::SetExposureLines(uint32_t lines) {
  return WriteInsideRecord(sensor_register_, kRegCoarseIntegration, info_.exposureLines, lines);
}

uint32_t CSensorZA05::SetGlobalGain(uint32_t gain) {
  if (gain > info_.globalGain.maximum) return 0;
  if (WriteSensorRegister(kRegAnalogGain, GainWord(gain)) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSensorZA05::SetExposureTime(uint32_t time) {
  if (time == 0) return 0;
  const double lineTime = LineTime();
  const double exact = time / lineTime;
  uint32_t lines = exact >= info_.exposureLines.maximum ? info_.exposureLines.maximum
                                                        : static_cast<uint32_t>(exact);
  lines = std::max(lines, info_.exposureLines.minimum);
  uint32_t stored = time;
  if (exact > info_.exposureLines.maximum) stored = static_cast<uint32_t>(lines * lineTime);
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = std::max<uint32_t>(stored, 1);
  return 1;
}

uint32_t CSensorZA05::SetMirrorV(uint32_t on) {
  return read_mode_.WriteMirrorBit(kReadModeFlipV, on, info_.mirrorV);
}

uint32_t CSensorZA05::SetMirrorH(uint32_t on) {
  return read_mode_.WriteMirrorBit(kReadModeMirrorH, on, info_.mirrorH);
}

uint32_t CSensorZA05::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  if (parameter == nullptr) return 0;
  if (operation == 1) {
    *parameter = info_.frameLength;
    return 1;
  }
  if (operation != 0) return 0;
  const uint32_t lines =
      std::clamp<uint32_t>(*parameter, info_.areaHeight + kFrameBlanking, 0xFFFF);
  if (WriteSensorRegister(kRegFrameLength, lines) == 0) return 0;
  info_.frameLength = lines;
  return 1;
}

}  // namespace vexcam
