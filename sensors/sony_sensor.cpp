#include "sensors/sony_sensor.h"

#include <algorithm>

#include "sensors/fpga_register.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// FPGA register gating frames by the trigger input.
constexpr uint8_t kFpgaTrigger = 88;

constexpr uint32_t kStandbyLeaveMs = 20;  // regulators settle before the sequencer starts

constexpr uint32_t Byte(uint32_t value, uint32_t index) { return RegisterByte(value, index); }

}  // namespace

CSonySensor::CSonySensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                         const SonyControls& controls)
    : CTableDrivenSensor(controller, busAddress, driver),
      sony_(controller, busAddress, controls.channel),
      controls_(controls),
      window_frame_(info_.frameLength) {
  UseChannel(sony_);
}

uint32_t CSonySensor::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  return controls_.verified ? sony_.WriteVerified(address, value) : 0;
}

uint32_t CSonySensor::ReadSensorRegisterRetry(uint32_t address, uint32_t* value) {
  return controls_.verified ? sony_.ReadRetry(address, value) : 0;
}

uint32_t CSonySensor::WriteControl(uint32_t address, uint32_t value) {
  return controls_.verified ? sony_.WriteVerified(address, value) : sony_.Write(address, value);
}

uint32_t CSonySensor::WriteHeld(std::span<const std::array<uint32_t, 2>> writes) {
  if (WriteControl(controls_.hold, 1) == 0) return 0;
  bool ok = true;
  for (const auto& [address, value] : writes) {
    if (WriteControl(address, value) == 0) {
      ok = false;
      break;
    }
  }
  const uint32_t released = WriteControl(controls_.hold, 0);
  return ok && released != 0 ? 1 : 0;
}

uint32_t CSonySensor::EnterStandby() {
  return WriteControl(controls_.standby, 1) != 0 && WriteControl(controls_.master, 1) != 0 ? 1 : 0;
}

uint32_t CSonySensor::ApplyRecordDefaults() {
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      ApplyMirrors(info_.mirrorV.defaultValue, info_.mirrorH.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0) {
    return 0;
  }
  return SetExposureTime(info_.exposureTime.defaultValue);
}

uint32_t CSonySensor::StartWithDefaults() {
  trigger_mode_ = 0;
  if (ApplyRecordDefaults() == 0) return 0;
  return LeaveStandby();
}

uint32_t CSonySensor::LeaveStandby() {
  if (WriteControl(controls_.standby, 0) == 0) return 0;
  WaitMs(kStandbyLeaveMs);
  return sony_.WriteVerified(controls_.master, 0);
}

uint32_t CSonySensor::CommitWindow(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                   uint32_t areaFlag, uint32_t frame) {
  StoreCaptureArea(x, width, y, height, areaFlag);
  info_.frameLength = frame;
  window_frame_ = frame;
  if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  return SetExposureLines(info_.exposureLines.current);
}

uint32_t CSonySensor::WriteHeldWindow(uint32_t readoutMode, uint32_t x, uint32_t y, uint32_t width,
                                      uint32_t height, bool withLine) {
  const uint32_t w = controls_.window;
  const uint32_t line = info_.lineLength;
  const std::array<uint32_t, 2> writes[] = {
      {controls_.readout, readoutMode},
      {w, Byte(x, 0)},
      {w + 1, Byte(x, 1)},
      {w + 4, Byte(y, 0)},
      {w + 5, Byte(y, 1)},
      {w + 8, Byte(width, 0)},
      {w + 9, Byte(width, 1)},
      {w + 12, Byte(height, 0)},
      {w + 13, Byte(height, 1)},
      {controls_.line, Byte(line, 0)},
      {controls_.line + 1u, Byte(line, 1)},
  };
  return WriteHeld(std::span(writes).first(withLine ? 11 : 9));
}

CSonySensor::FrameShutter CSonySensor::FrameOfLines(uint32_t lines) const {
  const uint32_t v = info_.frameLength;
  const uint32_t frame =
      uint64_t{lines} + controls_.shutterMargin <= v ? v : lines + controls_.shutterMargin;
  return {.frame = frame, .shutter = frame - lines};
}

uint32_t CSonySensor::WriteHeldExposure(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const RangeRecord& r = info_.exposureLines;
  const uint32_t n = std::clamp(lines, r.minimum, r.maximum);
  const auto [frame, shutter] = FrameOfLines(n);
  const uint32_t f = controls_.frame;
  const uint32_t s = controls_.shutter;
  const std::array<uint32_t, 2> writes[] = {
      {f, Byte(frame, 0)},   {f + 1, Byte(frame, 1)},   {f + 2, Byte(frame, 2)},
      {s, Byte(shutter, 0)}, {s + 1, Byte(shutter, 1)}, {s + 2, Byte(shutter, 2)},
  };
  if (WriteHeld(writes) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CSonySensor::LinesOfRatio(double exact) const {
  if (!(exact >= 1.0)) return 1;
  if (exact >= info_.exposureLines.maximum) return info_.exposureLines.maximum;
  return static_cast<uint32_t>(exact);
}

uint32_t CSonySensor::SetGlobalGain(uint32_t gain) {
  const RangeRecord& r = info_.globalGain;
  if (gain < r.minimum || gain > r.maximum) return 0;
  if (WriteControl(controls_.gain, Byte(gain, 0)) == 0 ||
      WriteControl(controls_.gain + 1u, Byte(gain, 1) & controls_.gainHighMask) == 0) {
    return 0;
  }
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSonySensor::ApplyMirrors(uint32_t mirrorV, uint32_t mirrorH) {
  const uint32_t value = (mirrorV != 0 ? 1u : 0u) | (mirrorH != 0 ? 2u : 0u);
  if (WriteControl(controls_.mirror, value) == 0) return 0;
  info_.mirrorV.current = mirrorV != 0 ? 1 : 0;
  info_.mirrorH.current = mirrorH != 0 ? 1 : 0;
  return 1;
}

uint32_t CSonySensor::ApplyGatedTrigger(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  const uint32_t external = mode == 1 ? 1 : 0;
  if (WriteControl(controls_.trigger, external) == 0 ||
      FpgaRegister(controller_, kFpgaTrigger).Write(external) == 0 ||
      PulseUpdateStrobe(controller_, model_number_) == 0) {
    return 0;
  }
  trigger_mode_ = mode;
  return 1;
}

uint32_t CSonySensor::ReportTrigger(uint32_t* mode) const { return Put(mode, trigger_mode_); }

uint32_t CSonySensor::ApplyDataWidth(uint32_t sixteenBit) {
  if (controller_ == nullptr) return 0;
  const uint32_t previous = info_.bitsPerPixel;
  if (WriteControl(controls_.depth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  // The stored area is the output size: the 2 x 2 readout programs twice that.
  const bool binned = controls_.anyFlagBins ? info_.areaFlag != 0 : info_.areaFlag == 1;
  const uint32_t scale = binned ? 2 : 1;
  if (SetCaptureArea(info_.areaX, info_.areaWidth * scale, info_.areaY, info_.areaHeight * scale,
                     info_.areaFlag) == 0) {
    info_.bitsPerPixel = previous;
    if (controls_.restoreDepth) WriteControl(controls_.depth, previous == 16 ? 1 : 0);
    return 0;
  }
  return 1;
}

}  // namespace vexcam
