#include "sensors/sensor_imx273.h"

#include <algorithm>

#include "platform/clock.h"
#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers besides those of kSonyMap3000.
constexpr uint16_t kRegDepth = 0x3022;  // 0: 8-bit output, 1: 12-bit output
constexpr uint16_t kRegConversionGain = 0x3064;

constexpr uint8_t kFpgaTrigger = 88;  // 1 external trigger, 0 free run

// The group's registers on the map, written verified.
constexpr SonyControls kGlobalControls = [] {
  SonyControls c = kSonyMap3000;
  c.mirror = 0x3030;
  c.gain = 0x3060;  // all bits of the upper byte
  c.depth = kRegDepth;
  c.verified = true;
  c.anyFlagBins = true;
  return c;
}();

constexpr GlobalShutterTiming kIMX273Timing = {.blankingLines = 50, .reducedMode = 1};
constexpr GlobalShutterTiming kIMX487Timing = {.blankingLines = 64, .reducedMode = 2};
constexpr GlobalShutterTiming kIMX536Timing = {.blankingLines = 64, .reducedMode = 1};

}  // namespace

CGlobalShutterSensor::CGlobalShutterSensor(CControllerBase* controller, uint8_t busAddress,
                                           SensorDriver driver, const GlobalShutterTiming& timing)
    : CSonySensor(controller, busAddress, driver, kGlobalControls), timing_(timing) {}

uint32_t CGlobalShutterSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  if (EnterStandby() == 0 || WriteControl(kSonyMap3000.hold, 0) == 0 ||
      WriteControl(kRegDepth, info_.bitsPerPixel == 16 ? 1u : 0u) == 0) {
    return 0;
  }
  // The record defaults: gains, mirrors, the full window, the exposure.
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      SetAnalogGain(info_.analogGain.defaultValue) == 0 ||
      ApplyMirrors(info_.mirrorV.defaultValue, info_.mirrorH.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0 ||
      SetExposureTimeEx(info_.exposureSeconds.defaultValue) == 0) {
    return 0;
  }
  return LeaveStandby();
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
  if (WriteHeldWindow(reduced ? timing_.reducedMode : 0u, static_cast<uint32_t>(ax),
                      static_cast<uint32_t>(ay), aw, ah, true) == 0) {
    return 0;
  }
  return CommitWindow(static_cast<uint32_t>(ax), outWidth, static_cast<uint32_t>(ay), outHeight,
                      areaFlag, frame);
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

uint32_t CGlobalShutterSensor::SetAnalogGain(uint32_t value) {
  const RangeRecord& r = info_.analogGain;
  if (value < r.minimum || value > r.maximum) return 0;
  if (WriteSensorRegisterVerified(kRegConversionGain, value) == 0) return 0;
  info_.analogGain.current = value;
  return 1;
}

CFpgaTriggerShutterSensor::CFpgaTriggerShutterSensor(CControllerBase* controller,
                                                     uint8_t busAddress, SensorDriver driver,
                                                     const GlobalShutterTiming& timing)
    : CGlobalShutterSensor(controller, busAddress, driver, timing),
      trigger_(controller, kFpgaTrigger) {}

uint32_t CFpgaTriggerShutterSensor::SetTriggerMode(uint32_t mode) {
  if (trigger_.Write(mode != 0 ? 1 : 0) == 0) return 0;
  return PulseUpdateStrobe(controller_, model_number_);
}

CSensorIMX273::CSensorIMX273(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX273, kIMX273Timing) {}

CSensorIMX487::CSensorIMX487(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX487, kIMX487Timing) {}

CSensorIMX536::CSensorIMX536(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX536, kIMX536Timing) {}

}  // namespace vexcam
