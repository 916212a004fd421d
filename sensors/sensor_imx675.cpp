#include "sensors/sensor_imx675.h"

#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

constexpr uint8_t kRegTrigger = 88;  // FPGA: 1 external trigger, 0 free run
constexpr GlobalShutterTiming kIMX675Timing = {.blankingLines = 38, .reducedMode = 1};

}  // namespace

CSensorIMX675::CSensorIMX675(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kIMX675, kIMX675Timing),
      trigger_(controller, kRegTrigger) {}

uint32_t CSensorIMX675::SetTriggerMode(uint32_t mode) {
  if (trigger_.Write(mode != 0 ? 1 : 0) == 0) return 0;
  return PulseUpdateStrobe(controller_, model_number_);
}

uint32_t CSensorIMX675::GetTriggerMode(uint32_t* mode) { return trigger_.Read(mode); }

uint32_t CSensorIMX675::SetExposureTimeEx(double seconds) {
  const SecondsExposure e = ClampSeconds(info_.exposureSeconds, seconds);
  // The line time is in units of 0.1 ms, 100 microseconds each.
  const double lineUs = LineTime() * 100.0;
  const double exact = static_cast<double>(e.microseconds) / lineUs;
  uint32_t lines = info_.exposureLines.maximum;
  if (!(exact >= 1.0)) {
    lines = 1;
  } else if (exact < info_.exposureLines.maximum) {
    lines = static_cast<uint32_t>(exact);
  }
  if (SetExposureLines(lines) == 0) return 0;
  StoreSeconds(info_, e);
  return 1;
}

}  // namespace vexcam
