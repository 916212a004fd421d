#include "sensors/sensor_imx250.h"

#include <algorithm>

#include "platform/clock.h"
#include "sensors/pregius_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers besides the window and exposure ones of pregius_exposure.h.
constexpr uint16_t kRegStandby = 512;   // 1: standby, 0: operating
constexpr uint16_t kRegMaster = 514;    // 1: sequencer stopped, 0: running
constexpr uint16_t kRegGainLow = 516;   // gain in 0.1 dB, bits 0-7
constexpr uint16_t kRegGainHigh = 517;  // bit 8
constexpr uint16_t kRegDepth = 520;     // 0: 8-bit output, 1: 12-bit output
constexpr uint16_t kRegTrigger = 523;   // 0: free run, 1: external pulse
constexpr uint16_t kRegMirror = 526;    // bit 0 vertical, bit 1 horizontal

// FPGA register gating frames by the trigger input.
constexpr uint8_t kFpgaTrigger = 88;

constexpr uint32_t kStandbyLeaveMs = 20;  // regulators settle before the sequencer starts
// A set frame length keeps the shutter start (V - lines) within its 12 bits.
constexpr uint32_t kFrameLengthLimit = 0xFFF;

uint8_t Byte(uint32_t value, uint32_t shift) { return static_cast<uint8_t>(value >> shift); }

}  // namespace

CPregiusSensor::CPregiusSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver)
    : CTableDrivenSensor(controller, busAddress, driver),
      channel_(controller, busAddress, {}),
      window_frame_(info_.frameLength) {}

uint32_t CPregiusSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  // Into standby with the sequencer stopped, so that the settings below take
  // effect together; free-running readout at the current data width.
  const uint32_t prepare[][2] = {
      {kRegStandby, 1},
      {kRegMaster, 1},
      {kRegDepth, info_.bitsPerPixel == 16 ? 1u : 0u},
      {kRegTrigger, 0},
  };
  for (const auto& [address, value] : prepare) {
    if (WriteSensorRegisterVerified(address, value) == 0) return 0;
  }
  if (FpgaRegister(controller_, kFpgaTrigger).Write(0) == 0) return 0;
  trigger_mode_ = 0;
  // The record defaults: gain, mirrors, the full window, the exposure.
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      WriteMirror(info_.mirrorV.defaultValue, info_.mirrorH.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0 ||
      SetExposureTime(info_.exposureTime.defaultValue) == 0) {
    return 0;
  }
  // Out of standby; once settled, the sequencer starts streaming.
  if (WriteSensorRegisterVerified(kRegStandby, 0) == 0) return 0;
  WaitMs(kStandbyLeaveMs);
  return WriteSensorRegisterVerified(kRegMaster, 0);
}

uint32_t CPregiusSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                        uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  const pregius::AreaPlan plan = pregius::PlanCaptureArea(
      x, width, y, height, areaFlag, info_.arrayWidth, info_.arrayHeight, info_.bitsPerPixel == 16);
  if (!plan.ok) return 0;
  const auto verified = [this](uint32_t a, uint32_t v) {
    return WriteSensorRegisterVerified(a, v);
  };
  const auto plain = [this](uint32_t a, uint32_t v) { return WriteSensorRegister(a, v); };
  if (pregius::RunPlan(plan.Steps(), verified, plain, WaitMs) == 0) return 0;

  info_.areaX = plan.x;
  info_.areaY = plan.y;
  info_.areaWidth = plan.width;
  info_.areaHeight = plan.height;
  info_.areaFlag = areaFlag;
  info_.lineLength = plan.lineLength;
  info_.frameLength = plan.frameLength;
  window_frame_ = plan.frameLength;
  const pregius::ExposureTimeLimits limits = pregius::ExposureTimeLimitsOf(
      info_.exposureLines.minimum, info_.exposureLines.maximum, LineTime());
  info_.exposureTime.minimum = limits.minimum;
  info_.exposureTime.maximum = limits.maximum;
  if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  // The window's frame length reaches the frame registers with the exposure.
  return SetExposureLines(info_.exposureLines.current);
}

uint32_t CPregiusSensor::SetTriggerMode(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  const uint32_t external = mode == 1 ? 1 : 0;
  if (WriteSensorRegisterVerified(kRegTrigger, external) == 0 ||
      FpgaRegister(controller_, kFpgaTrigger).Write(external) == 0 ||
      PulseUpdateStrobe(controller_, model_number_) == 0) {
    return 0;
  }
  trigger_mode_ = mode;
  return 1;
}

uint32_t CPregiusSensor::GetTriggerMode(uint32_t* mode) {
  if (mode == nullptr) return 0;
  *mode = trigger_mode_;
  return 1;
}

uint32_t CPregiusSensor::SetDataBits(uint32_t sixteenBit) {
  if (controller_ == nullptr) return 0;
  const uint32_t previous = info_.bitsPerPixel;
  if (WriteSensorRegisterVerified(kRegDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  // The stored area is the output size: the 2 x 2 mode programs twice that.
  const uint32_t scale = info_.areaFlag == 1 ? 2 : 1;
  if (SetCaptureArea(info_.areaX, info_.areaWidth * scale, info_.areaY, info_.areaHeight * scale,
                     info_.areaFlag) == 0) {
    info_.bitsPerPixel = previous;
    return 0;
  }
  return 1;
}

uint32_t CPregiusSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const uint32_t n = std::max(lines, info_.exposureLines.minimum);
  const pregius::LinesPlan plan =
      pregius::PlanExposureLines(n, info_.exposureLines.maximum, info_.frameLength,
                                 info_.exposureLines.current, info_.exposureTime.current);
  TimerResolution resolution(1);
  const auto verified = [this](uint32_t a, uint32_t v) {
    return WriteSensorRegisterVerified(a, v);
  };
  const auto plain = [this](uint32_t a, uint32_t v) { return WriteSensorRegister(a, v); };
  if (pregius::RunPlan(plan.Steps(), verified, plain, SleepMs) == 0) return 0;
  info_.exposureLines.current = plan.lines;
  return 1;
}

uint32_t CPregiusSensor::SetExposureTime(uint32_t time) {
  const pregius::ExposureTimeLines e =
      pregius::ExposureTimeToLines(time, LineTime(), info_.exposureLines.maximum);
  if (SetExposureLines(e.lines) == 0) return 0;
  info_.exposureTime.current = e.time;
  return 1;
}

uint32_t CPregiusSensor::SetGlobalGain(uint32_t gain) {
  const RangeRecord& r = info_.globalGain;
  if (gain < r.minimum || gain > r.maximum) return 0;
  if (WriteSensorRegisterVerified(kRegGainLow, Byte(gain, 0)) == 0 ||
      WriteSensorRegisterVerified(kRegGainHigh, Byte(gain, 8) & 1u) == 0) {
    return 0;
  }
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CPregiusSensor::WriteMirror(uint32_t mirrorV, uint32_t mirrorH) {
  const uint32_t value = (mirrorV != 0 ? 1u : 0u) | (mirrorH != 0 ? 2u : 0u);
  if (WriteSensorRegisterVerified(kRegMirror, value) == 0) return 0;
  info_.mirrorV.current = mirrorV != 0 ? 1 : 0;
  info_.mirrorH.current = mirrorH != 0 ? 1 : 0;
  return 1;
}

uint32_t CPregiusSensor::SetMirrorV(uint32_t on) { return WriteMirror(on, info_.mirrorH.current); }

uint32_t CPregiusSensor::SetMirrorH(uint32_t on) { return WriteMirror(info_.mirrorV.current, on); }

uint32_t CPregiusSensor::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  return AccessFrameLength(operation, parameter, kFrameLengthLimit, window_frame_);
}

uint32_t CPregiusSensor::WriteSensorRegister(uint32_t address, uint32_t value) {
  return channel_.Write(address, value);
}

uint32_t CPregiusSensor::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return channel_.Read(address, value);
}

uint32_t CPregiusSensor::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  return channel_.WriteVerified(address, value);
}

uint32_t CPregiusSensor::ReadSensorRegisterRetry(uint32_t address, uint32_t* value) {
  return channel_.ReadRetry(address, value);
}

double CPregiusSensor::LineTime() const { return pregius::LineTime(info_.lineLength); }

CSensorIMX250::CSensorIMX250(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX250) {}

CSensorIMX252::CSensorIMX252(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX252) {}

CSensorIMX264::CSensorIMX264(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX264) {}

CSensorIMX265::CSensorIMX265(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX265) {}

}  // namespace vexcam
