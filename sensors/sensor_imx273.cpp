#include "sensors/sensor_imx273.h"

#include <algorithm>
#include <iterator>

#include "platform/clock.h"
#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers.
constexpr uint16_t kRegStandby = 0x3000;  // 1: standby, 0: operating
constexpr uint16_t kRegMaster = 0x3002;   // 1: sequencer stopped, 0: running
constexpr uint16_t kRegHold = 0x3008;     // 1: later writes wait for the frame end
constexpr uint16_t kRegReadout = 0x3020;  // 0: all pixels, else the 2 x 2 readout
constexpr uint16_t kRegDepth = 0x3022;    // 0: 8-bit output, 1: 12-bit output
constexpr uint16_t kRegMirror = 0x3030;   // bit 0 vertical, bit 1 horizontal
constexpr uint16_t kRegWindowX = 0x3040;  // x, y, width, height: low byte, high byte
constexpr uint16_t kRegWindowY = 0x3044;
constexpr uint16_t kRegWindowWidth = 0x3048;
constexpr uint16_t kRegWindowHeight = 0x304C;
constexpr uint16_t kRegFrame = 0x3050;    // 24 bits, low byte first
constexpr uint16_t kRegLine = 0x3054;     // 16 bits, low byte first
constexpr uint16_t kRegShutter = 0x3058;  // 24 bits, low byte first
constexpr uint16_t kRegGainLow = 0x3060;  // gain in 0.1 dB
constexpr uint16_t kRegGainHigh = 0x3061;
constexpr uint16_t kRegConversionGain = 0x3064;

constexpr uint32_t kStandbyLeaveMs = 20;
constexpr uint32_t kFrameRegisterLimit = 0xFFFFFF;

constexpr GlobalShutterTiming kIMX273Timing = {.blankingLines = 50, .reducedMode = 1};
constexpr GlobalShutterTiming kIMX487Timing = {.blankingLines = 64, .reducedMode = 2};
constexpr GlobalShutterTiming kIMX536Timing = {.blankingLines = 64, .reducedMode = 1};

uint32_t Byte(uint32_t value, uint32_t index) { return (value >> (8 * index)) & 0xFF; }

}  // namespace

CGlobalShutterSensor::CGlobalShutterSensor(CControllerBase* controller, uint8_t busAddress,
                                           SensorDriver driver, const GlobalShutterTiming& timing)
    : CTableDrivenSensor(controller, busAddress, driver),
      timing_(timing),
      channel_(controller, busAddress, {}),
      window_frame_(info_.frameLength) {}

uint32_t CGlobalShutterSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  // Into standby with the sequencer stopped while the settings are made.
  const uint32_t prepare[][2] = {
      {kRegStandby, 1},
      {kRegMaster, 1},
      {kRegHold, 0},
      {kRegDepth, info_.bitsPerPixel == 16 ? 1u : 0u},
  };
  for (const auto& [address, value] : prepare) {
    if (WriteSensorRegisterVerified(address, value) == 0) return 0;
  }
  // The record defaults: gains, mirrors, the full window, the exposure.
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      SetAnalogGain(info_.analogGain.defaultValue) == 0 ||
      WriteMirror(info_.mirrorV.defaultValue, info_.mirrorH.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0 ||
      SetExposureTimeEx(info_.exposureSeconds.defaultValue) == 0) {
    return 0;
  }
  // Out of standby; once settled, the sequencer starts streaming.
  if (WriteSensorRegisterVerified(kRegStandby, 0) == 0) return 0;
  WaitMs(kStandbyLeaveMs);
  return WriteSensorRegisterVerified(kRegMaster, 0);
}

uint32_t CGlobalShutterSensor::WriteHeld(const uint32_t (*writes)[2], size_t count) {
  if (WriteSensorRegisterVerified(kRegHold, 1) == 0) return 0;
  bool ok = true;
  for (size_t i = 0; i < count && ok; ++i)
    ok = WriteSensorRegisterVerified(writes[i][0], writes[i][1]) != 0;
  const bool released = WriteSensorRegisterVerified(kRegHold, 0) != 0;
  return ok && released ? 1 : 0;
}

uint32_t CGlobalShutterSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y,
                                              uint32_t height, uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  const bool reduced = areaFlag != 0;
  // Wide arithmetic so that aligning near the top of the range cannot wrap.
  const uint64_t ax = (uint64_t{x} + 3) & ~uint64_t{3};
  const uint64_t ay = (uint64_t{y} + 3) & ~uint64_t{3};
  const uint32_t aw = width & ~(reduced ? 31u : 15u);  // the halved width stays a multiple of 16
  const uint32_t ah = height & ~(reduced ? 7u : 3u);
  if (aw == 0 || ah == 0 || ax + aw > info_.arrayWidth || ay + ah > info_.arrayHeight) return 0;
  const uint32_t outWidth = reduced ? aw / 2 : aw;
  const uint32_t outHeight = reduced ? ah / 2 : ah;
  const uint32_t frame = outHeight + timing_.blankingLines;
  const uint32_t line = info_.lineLength;

  const uint32_t writes[][2] = {
      {kRegReadout, reduced ? timing_.reducedMode : 0u},
      {kRegWindowX, Byte(static_cast<uint32_t>(ax), 0)},
      {kRegWindowX + 1u, Byte(static_cast<uint32_t>(ax), 1)},
      {kRegWindowY, Byte(static_cast<uint32_t>(ay), 0)},
      {kRegWindowY + 1u, Byte(static_cast<uint32_t>(ay), 1)},
      {kRegWindowWidth, Byte(aw, 0)},
      {kRegWindowWidth + 1u, Byte(aw, 1)},
      {kRegWindowHeight, Byte(ah, 0)},
      {kRegWindowHeight + 1u, Byte(ah, 1)},
      {kRegLine, Byte(line, 0)},
      {kRegLine + 1u, Byte(line, 1)},
  };
  if (WriteHeld(writes, std::size(writes)) == 0) return 0;
  info_.areaX = static_cast<uint32_t>(ax);
  info_.areaY = static_cast<uint32_t>(ay);
  info_.areaWidth = outWidth;
  info_.areaHeight = outHeight;
  info_.areaFlag = areaFlag;
  info_.frameLength = frame;
  window_frame_ = frame;
  if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  // The window's frame length reaches the frame registers with the exposure.
  return SetExposureLines(info_.exposureLines.current);
}

uint32_t CGlobalShutterSensor::SetDataBits(uint32_t sixteenBit) {
  if (controller_ == nullptr) return 0;
  const uint32_t previous = info_.bitsPerPixel;
  if (WriteSensorRegisterVerified(kRegDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  const uint32_t scale = info_.areaFlag != 0 ? 2 : 1;
  if (SetCaptureArea(info_.areaX, info_.areaWidth * scale, info_.areaY, info_.areaHeight * scale,
                     info_.areaFlag) == 0) {
    info_.bitsPerPixel = previous;
    return 0;
  }
  return 1;
}

uint32_t CGlobalShutterSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const RangeRecord& r = info_.exposureLines;
  const uint32_t n = std::clamp(lines, r.minimum, r.maximum);
  const uint32_t v = info_.frameLength;
  // The frame keeps its length while the exposure fits; else it grows.
  const bool fits = uint64_t{n} + kShutterMargin <= v;
  const uint32_t frame = fits ? v : n + kShutterMargin;
  const uint32_t shutter = frame - n;
  const uint32_t writes[][2] = {
      {kRegFrame, Byte(frame, 0)},          {kRegFrame + 1u, Byte(frame, 1)},
      {kRegFrame + 2u, Byte(frame, 2)},     {kRegShutter, Byte(shutter, 0)},
      {kRegShutter + 1u, Byte(shutter, 1)}, {kRegShutter + 2u, Byte(shutter, 2)},
  };
  if (WriteHeld(writes, std::size(writes)) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CGlobalShutterSensor::LinesOf(double tenthsMs) const {
  const double exact = tenthsMs / LineTime();
  if (!(exact >= 1.0)) return 1;
  if (exact >= info_.exposureLines.maximum) return info_.exposureLines.maximum;
  return static_cast<uint32_t>(exact);
}

uint32_t CGlobalShutterSensor::SetExposureTime(uint32_t time) {
  const RangeRecord& r = info_.exposureTime;
  const uint32_t t = std::clamp(time, r.minimum, r.maximum);
  if (SetExposureLines(LinesOf(t)) == 0) return 0;
  info_.exposureTime.current = t;
  info_.exposureSeconds.current = t / 10000.0;
  return 1;
}

uint32_t CGlobalShutterSensor::SetExposureTimeEx(double seconds) {
  const SecondsExposure e = ClampSeconds(info_.exposureSeconds, seconds);
  if (SetExposureLines(LinesOf(e.seconds * 10000.0)) == 0) return 0;
  StoreSeconds(info_, e);
  return 1;
}

uint32_t CGlobalShutterSensor::SetGlobalGain(uint32_t gain) {
  const RangeRecord& r = info_.globalGain;
  if (gain < r.minimum || gain > r.maximum) return 0;
  if (WriteSensorRegisterVerified(kRegGainLow, Byte(gain, 0)) == 0 ||
      WriteSensorRegisterVerified(kRegGainHigh, Byte(gain, 1)) == 0) {
    return 0;
  }
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CGlobalShutterSensor::SetAnalogGain(uint32_t value) {
  const RangeRecord& r = info_.analogGain;
  if (value < r.minimum || value > r.maximum) return 0;
  if (WriteSensorRegisterVerified(kRegConversionGain, value) == 0) return 0;
  info_.analogGain.current = value;
  return 1;
}

uint32_t CGlobalShutterSensor::GetAnalogGain(uint32_t* value) {
  if (value == nullptr) return 0;
  *value = info_.analogGain.current;
  return info_.analogGain.supported;
}

uint32_t CGlobalShutterSensor::WriteMirror(uint32_t mirrorV, uint32_t mirrorH) {
  const uint32_t value = (mirrorV != 0 ? 1u : 0u) | (mirrorH != 0 ? 2u : 0u);
  if (WriteSensorRegisterVerified(kRegMirror, value) == 0) return 0;
  info_.mirrorV.current = mirrorV != 0 ? 1 : 0;
  info_.mirrorH.current = mirrorH != 0 ? 1 : 0;
  return 1;
}

uint32_t CGlobalShutterSensor::SetMirrorV(uint32_t on) {
  return WriteMirror(on, info_.mirrorH.current);
}

uint32_t CGlobalShutterSensor::SetMirrorH(uint32_t on) {
  return WriteMirror(info_.mirrorV.current, on);
}

uint32_t CGlobalShutterSensor::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  return AccessFrameLength(operation, parameter, kFrameRegisterLimit, window_frame_);
}

uint32_t CGlobalShutterSensor::WriteSensorRegister(uint32_t address, uint32_t value) {
  return channel_.Write(address, value);
}

uint32_t CGlobalShutterSensor::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return channel_.Read(address, value);
}

uint32_t CGlobalShutterSensor::WriteSensorRegisterVerified(uint32_t address, uint32_t value) {
  return channel_.WriteVerified(address, value);
}

uint32_t CGlobalShutterSensor::ReadSensorRegisterRetry(uint32_t address, uint32_t* value) {
  return channel_.ReadRetry(address, value);
}

CSensorIMX273::CSensorIMX273(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX273, kIMX273Timing) {}

CSensorIMX487::CSensorIMX487(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX487, kIMX487Timing) {}

CSensorIMX536::CSensorIMX536(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX536, kIMX536Timing) {}

}  // namespace vexcam
