#include "sensors/sensor_icx274.h"

#include <algorithm>

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr uint8_t kRegMirror = 63;  // bit 0 horizontal, bit 1 vertical
constexpr uint8_t kRegExposureLow = 226;
constexpr uint8_t kRegExposureHigh = 227;
constexpr uint8_t kMirrorHBit = 0x01;
constexpr uint8_t kMirrorVBit = 0x02;

// Timing-chip words.
constexpr uint32_t kChipMode = 0x0000;  // 1: normal readout
constexpr uint32_t kChipGain = 0x0005;  // 10-bit front-end gain

}  // namespace

CSensorICX274::CSensorICX274(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kICX274),
      chip_(controller, TimingChipChannel::ReadBack::kController),
      exposure_counter_(controller, {kRegExposureLow, kRegExposureHigh}),
      mirror_(controller, kRegMirror) {
  UseChannel(chip_);
}

uint32_t CSensorICX274::InitSensor() {
  if (controller_ == nullptr) return 0;
  StoreCaptureArea(0, info_.effectiveWidth, 0, info_.effectiveHeight, info_.areaFlag);
  // Normal readout, then the record defaults.
  if (WriteSensorRegister(kChipMode, 1) == 0 || SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      SetExposureTime(info_.exposureTime.defaultValue) == 0 ||
      mirror_.Write((info_.mirrorV.defaultValue != 0 ? kMirrorVBit : 0) |
                    (info_.mirrorH.defaultValue != 0 ? kMirrorHBit : 0)) == 0) {
    return 0;
  }
  info_.mirrorV.current = info_.mirrorV.defaultValue;
  info_.mirrorH.current = info_.mirrorH.defaultValue;
  return 1;
}

uint32_t CSensorICX274::SetTriggerMode(uint32_t mode) {
  trigger_mode_ = mode;
  return 1;
}

uint32_t CSensorICX274::GetTriggerMode(uint32_t* mode) { return Put(mode, trigger_mode_); }

uint32_t CSensorICX274::SetExposureLines(uint32_t lines) {
  const RangeRecord& r = info_.exposureLines;
  const uint32_t n = std::clamp(lines, r.minimum, r.maximum);
  if (exposure_counter_.Write(n) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CSensorICX274::SetGlobalGain(uint32_t gain) {
  const RangeRecord& r = info_.globalGain;
  if (gain < r.minimum || gain > r.maximum) return 0;
  if (WriteSensorRegister(kChipGain, gain) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSensorICX274::SetExposureTime(uint32_t time) {
  const RangeRecord& r = info_.exposureTime;
  const uint32_t t = std::clamp(time, r.minimum, r.maximum);
  const double exact = t / LineTime();
  uint32_t lines = info_.exposureLines.maximum;
  if (!(exact >= 1.0)) {
    lines = 1;
  } else if (exact < lines) {
    lines = static_cast<uint32_t>(exact);
  }
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = t;
  return 1;
}

uint32_t CSensorICX274::SetMirrorV(uint32_t on) {
  if (mirror_.UpdateBits(kMirrorVBit, on != 0) == 0) return 0;
  info_.mirrorV.current = on != 0 ? 1 : 0;
  return 1;
}

uint32_t CSensorICX274::SetMirrorH(uint32_t on) {
  if (mirror_.UpdateBits(kMirrorHBit, on != 0) == 0) return 0;
  info_.mirrorH.current = on != 0 ? 1 : 0;
  return 1;
}

uint32_t CSensorICX274::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  if (parameter == nullptr) return 0;
  if (operation == 1) *parameter = info_.frameLength;
  return 1;
}

}  // namespace vexcam
