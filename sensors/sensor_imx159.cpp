#include "sensors/sensor_imx159.h"

#include <algorithm>

#include "sensors/fpga_register.h"
#include "sensors/pregius_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers.
constexpr uint16_t kRegStandby = 0x3000;   // 1: standby, 0: operating
constexpr uint16_t kRegMaster = 0x3002;    // 1: sequencer stopped, 0: running
constexpr uint16_t kRegDepth = 0x3005;     // 0: 10-bit conversion, 1: 12-bit
constexpr uint16_t kRegMirror = 0x3007;    // bit 0 vertical, bit 1 horizontal
constexpr uint16_t kRegHold = 0x3008;      // 1: later writes wait for the frame end
constexpr uint16_t kRegTrigger = 0x300A;   // 0: free-running master, 1: external pulse
constexpr uint16_t kRegGainLow = 0x3014;   // gain in 0.1 dB, bits 0-7
constexpr uint16_t kRegGainHigh = 0x3015;  // bit 8
constexpr uint16_t kRegReadout = 0x3020;   // 0: all pixels, 1: 2 x 2 readout
constexpr uint16_t kRegWindowX = 0x3040;   // x, y, width, height: low byte, high byte
constexpr uint16_t kRegWindowY = 0x3044;
constexpr uint16_t kRegWindowWidth = 0x3048;
constexpr uint16_t kRegWindowHeight = 0x304C;
constexpr uint16_t kRegFrame = 0x3050;    // 24 bits, low byte first
constexpr uint16_t kRegLine = 0x3054;     // 16 bits, low byte first
constexpr uint16_t kRegShutter = 0x3058;  // 24 bits, low byte first

// FPGA register gating frames by the trigger input.
constexpr uint8_t kFpgaTrigger = 88;

constexpr uint32_t kStandbyLeaveMs = 20;  // regulators settle before the sequencer starts

constexpr uint32_t Byte(uint32_t value, uint32_t index) { return (value >> (8 * index)) & 0xFF; }

// The size an area may have on one axis: the array bounds it, except that it
// may reach as far as the effective image does, clipped to the array. 0: refused.
uint32_t FitAxis(uint32_t origin, uint32_t size, uint32_t array, uint32_t effectiveEnd) {
  if (origin >= array || size == 0) return 0;
  const uint64_t end = uint64_t{origin} + size;
  if (end <= array) return size;
  return end <= effectiveEnd ? array - origin : 0;
}

// Start-up registers of each sensor (written in standby).
constexpr ProgramStep kIMX159Setup[] = {
    // Input clock 36 MHz: PLL multiplier and divider of the pixel clock.
    WriteStep(0x3090, 0x24),
    WriteStep(0x3091, 0x01),
    // Four output lanes.
    WriteStep(0x3070, 0x02),
    // Black level 60 at 12 bits.
    WriteStep(0x3032, 0x3C),
    WriteStep(0x3033, 0x00),
    WaitStep(1),
};

constexpr ProgramStep kIMX183Setup[] = {
    // Input clock 72 MHz, single-row line periods.
    WriteStep(0x3090, 0x48),
    WriteStep(0x3091, 0x01),
    // Eight output lanes.
    WriteStep(0x3070, 0x03),
    // Black level 50 at 12 bits.
    WriteStep(0x3032, 0x32),
    WriteStep(0x3033, 0x00),
    WaitStep(1),
};

constexpr RollingShutterTiming kIMX159Timing = {.blankingLines = 184,
                                                .rowsPerLine = 1,
                                                .verifiedWrites = false,
                                                .triggerInput = true,
                                                .setup = kIMX159Setup};
constexpr RollingShutterTiming kIMX183Timing = {.blankingLines = 200,
                                                .rowsPerLine = 1,
                                                .verifiedWrites = false,
                                                .triggerInput = true,
                                                .setup = kIMX183Setup};

}  // namespace

CRollingShutterSensor::CRollingShutterSensor(CControllerBase* controller, uint8_t busAddress,
                                             SensorDriver driver,
                                             const RollingShutterTiming& timing)
    : CTableDrivenSensor(controller, busAddress, driver),
      channel_(controller, busAddress, {}),
      timing_(timing),
      window_frame_(info_.frameLength) {}

uint32_t CRollingShutterSensor::Put(uint32_t address, uint32_t value) {
  return timing_.verifiedWrites ? channel_.WriteVerified(address, value)
                                : channel_.Write(address, value);
}

uint32_t CRollingShutterSensor::WriteHeld(std::span<const std::array<uint32_t, 2>> writes) {
  if (Put(kRegHold, 1) == 0) return 0;
  bool ok = true;
  for (const auto& [address, value] : writes) {
    if (Put(address, value) == 0) {
      ok = false;
      break;
    }
  }
  const uint32_t released = Put(kRegHold, 0);
  return ok && released != 0 ? 1 : 0;
}

uint32_t CRollingShutterSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  // Standby with the sequencer stopped while the settings are made.
  if (Put(kRegStandby, 1) == 0 || Put(kRegMaster, 1) == 0 || Put(kRegHold, 0) == 0) return 0;
  if (RunProgram(timing_.setup) == 0) return 0;
  // Conversion width, line length and free-running readout.
  const uint32_t readout[][2] = {
      {kRegDepth, info_.bitsPerPixel >= 12 ? 1u : 0u},
      {kRegLine, Byte(info_.lineLength, 0)},
      {kRegLine + 1u, Byte(info_.lineLength, 1)},
      {kRegTrigger, 0},
  };
  for (const auto& [address, value] : readout) {
    if (Put(address, value) == 0) return 0;
  }
  if (timing_.triggerInput && FpgaRegister(controller_, kFpgaTrigger).Write(0) == 0) return 0;
  trigger_mode_ = 0;
  // The record defaults: gain, mirrors, the effective window, the exposure.
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      WriteMirror(info_.mirrorV.defaultValue, info_.mirrorH.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0 ||
      SetExposureTime(info_.exposureTime.defaultValue) == 0) {
    return 0;
  }
  // Out of standby; the sensor answers again once the FPGA reports the bus
  // free, then the sequencer starts streaming.
  if (Put(kRegStandby, 0) == 0) return 0;
  WaitMs(kStandbyLeaveMs);
  return channel_.WriteVerified(kRegMaster, 0);
}

uint32_t CRollingShutterSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y,
                                               uint32_t height, uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  const uint32_t ax = x & ~1u;
  const uint32_t ay = y & ~1u;
  const uint32_t aw =
      FitAxis(ax, width, info_.arrayWidth, info_.originX + info_.effectiveWidth) & ~3u;
  const uint32_t ah =
      FitAxis(ay, height, info_.arrayHeight, info_.originY + info_.effectiveHeight) & ~1u;
  if (aw == 0 || ah == 0) return 0;
  const bool binned = areaFlag == 1;
  const uint32_t outWidth = binned ? aw / 2 : aw;
  const uint32_t outHeight = binned ? ah / 2 : ah;
  const uint32_t frame =
      (outHeight + timing_.blankingLines + timing_.rowsPerLine - 1) / timing_.rowsPerLine;

  // The sensor's window in its own array coordinates, at full resolution.
  const std::array<uint32_t, 2> writes[] = {
      {kRegReadout, binned ? 1u : 0u},      {kRegWindowX, Byte(ax, 0)},
      {kRegWindowX + 1u, Byte(ax, 1)},      {kRegWindowY, Byte(ay, 0)},
      {kRegWindowY + 1u, Byte(ay, 1)},      {kRegWindowWidth, Byte(aw, 0)},
      {kRegWindowWidth + 1u, Byte(aw, 1)},  {kRegWindowHeight, Byte(ah, 0)},
      {kRegWindowHeight + 1u, Byte(ah, 1)},
  };
  if (WriteHeld(writes) == 0) return 0;

  info_.areaX = ax;
  info_.areaY = ay;
  info_.areaWidth = outWidth;
  info_.areaHeight = outHeight;
  info_.areaFlag = areaFlag;
  info_.frameLength = frame;
  window_frame_ = frame;
  if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
  // The window's frame length reaches the frame registers with the exposure.
  return SetExposureLines(info_.exposureLines.current);
}

uint32_t CRollingShutterSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const RangeRecord& r = info_.exposureLines;
  const uint32_t n = std::clamp(lines, r.minimum, r.maximum);
  // The frame keeps its length while the exposure fits; a longer exposure
  // stretches the frame to the lines plus the margin.
  uint32_t frame = info_.frameLength;
  uint32_t shutter = 0;
  if (uint64_t{frame} >= uint64_t{n} + kShutterMargin) {
    shutter = frame - n;
  } else {
    frame = n + kShutterMargin;
    shutter = kShutterMargin;
  }
  const std::array<uint32_t, 2> writes[] = {
      {kRegFrame, Byte(frame, 0)},          {kRegFrame + 1u, Byte(frame, 1)},
      {kRegFrame + 2u, Byte(frame, 2)},     {kRegShutter, Byte(shutter, 0)},
      {kRegShutter + 1u, Byte(shutter, 1)}, {kRegShutter + 2u, Byte(shutter, 2)},
  };
  if (WriteHeld(writes) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CRollingShutterSensor::SetExposureTime(uint32_t time) {
  const RangeRecord& r = info_.exposureTime;
  const uint32_t t = std::clamp(time, r.minimum, r.maximum);
  const pregius::ExposureTimeLines e =
      pregius::ExposureTimeToLines(t, LineTime(), info_.exposureLines.maximum);
  if (SetExposureLines(e.lines) == 0) return 0;
  info_.exposureTime.current = e.time;
  return 1;
}

uint32_t CRollingShutterSensor::SetGlobalGain(uint32_t gain) {
  const RangeRecord& r = info_.globalGain;
  if (gain < r.minimum || gain > r.maximum) return 0;
  if (Put(kRegGainLow, Byte(gain, 0)) == 0 || Put(kRegGainHigh, Byte(gain, 1) & 1u) == 0) {
    return 0;
  }
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CRollingShutterSensor::WriteMirror(uint32_t mirrorV, uint32_t mirrorH) {
  const uint32_t value = (mirrorV != 0 ? 1u : 0u) | (mirrorH != 0 ? 2u : 0u);
  if (Put(kRegMirror, value) == 0) return 0;
  info_.mirrorV.current = mirrorV != 0 ? 1 : 0;
  info_.mirrorH.current = mirrorH != 0 ? 1 : 0;
  return 1;
}

uint32_t CRollingShutterSensor::SetMirrorH(uint32_t on) {
  return WriteMirror(info_.mirrorV.current, on);
}

uint32_t CRollingShutterSensor::ApplyTrigger(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  const uint32_t external = mode == 1 ? 1 : 0;
  if (Put(kRegTrigger, external) == 0 ||
      FpgaRegister(controller_, kFpgaTrigger).Write(external) == 0 ||
      PulseUpdateStrobe(controller_, model_number_) == 0) {
    return 0;
  }
  trigger_mode_ = mode;
  return 1;
}

uint32_t CRollingShutterSensor::ReportTrigger(uint32_t* mode) const {
  if (mode == nullptr) return 0;
  *mode = trigger_mode_;
  return 1;
}

uint32_t CRollingShutterSensor::ApplyDataWidth(uint32_t sixteenBit) {
  if (controller_ == nullptr) return 0;
  const uint32_t previous = info_.bitsPerPixel;
  if (Put(kRegDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  // The stored area is the output size: the 2 x 2 readout programs twice that.
  const uint32_t scale = info_.areaFlag == 1 ? 2 : 1;
  if (SetCaptureArea(info_.areaX, info_.areaWidth * scale, info_.areaY, info_.areaHeight * scale,
                     info_.areaFlag) == 0) {
    info_.bitsPerPixel = previous;
    Put(kRegDepth, previous == 16 ? 1 : 0);
    return 0;
  }
  return 1;
}

uint32_t CRollingShutterSensor::WriteSensorRegister(uint32_t address, uint32_t value) {
  return channel_.Write(address, value);
}

uint32_t CRollingShutterSensor::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return channel_.Read(address, value);
}

CSensorIMX159::CSensorIMX159(CControllerBase* controller, uint8_t busAddress)
    : CRollingShutterSensor(controller, busAddress, SensorDriver::kIMX159, kIMX159Timing) {
  if (controller_ == nullptr) return;
  // One snapshot of the FPGA register file; a failed read leaves it all zero
  // rather than half filled.
  for (uint32_t reg = 0; reg < fpga_cache_.size(); ++reg) {
    if (controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &fpga_cache_[reg]) == 0) {
      fpga_cache_.fill(0);
      return;
    }
  }
  const auto version = static_cast<uint16_t>(fpga_cache_[16] << 8 | fpga_cache_[17]);
  if (version != 0) fpga_version_.store(version);
}

CSensorIMX159::~CSensorIMX159() = default;

CSensorIMX183::CSensorIMX183(CControllerBase* controller, uint8_t busAddress)
    : CRollingShutterSensor(controller, busAddress, SensorDriver::kIMX183, kIMX183Timing) {}

}  // namespace vexcam
