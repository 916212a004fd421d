#include "sensors/sensor_imx159.h"

#include <algorithm>

#include "sensors/fpga_register.h"
#include "sensors/pregius_exposure.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// Sensor registers besides those of kSonyMap3000.
constexpr uint16_t kRegDepth = 0x3005;    // 0: 10-bit conversion, 1: 12-bit
constexpr uint16_t kRegTrigger = 0x300A;  // 0: free-running master, 1: external pulse

// FPGA register gating frames by the trigger input.
constexpr uint8_t kFpgaTrigger = 88;

// The group's registers on the map; the write kind is the member's.
constexpr SonyControls RollingControls(bool verified) {
  SonyControls c = kSonyMap3000;
  c.mirror = 0x3007;
  c.gain = 0x3014;
  c.gainHighMask = 1;
  c.depth = kRegDepth;
  c.trigger = kRegTrigger;
  c.verified = verified;
  c.restoreDepth = true;
  return c;
}

constexpr uint32_t Byte(uint32_t value, uint32_t index) { return RegisterByte(value, index); }

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
    : CSonySensor(controller, busAddress, driver, RollingControls(timing.verifiedWrites)),
      timing_(timing) {}

uint32_t CRollingShutterSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  if (EnterStandby() == 0 || WriteControl(kSonyMap3000.hold, 0) == 0) return 0;
  if (RunProgram(timing_.setup) == 0) return 0;
  // Conversion width, line length and free-running readout.
  const uint32_t readout[][2] = {
      {kRegDepth, info_.bitsPerPixel >= 12 ? 1u : 0u},
      {kSonyMap3000.line, Byte(info_.lineLength, 0)},
      {kSonyMap3000.line + 1u, Byte(info_.lineLength, 1)},
      {kRegTrigger, 0},
  };
  for (const auto& [address, value] : readout) {
    if (WriteControl(address, value) == 0) return 0;
  }
  if (timing_.triggerInput && FpgaRegister(controller_, kFpgaTrigger).Write(0) == 0) return 0;
  return StartWithDefaults();
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
  if (WriteHeldWindow(binned ? 1 : 0, ax, ay, aw, ah, false) == 0) return 0;
  return CommitWindow(ax, outWidth, ay, outHeight, areaFlag, frame);
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
