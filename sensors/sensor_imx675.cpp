#include "sensors/sensor_imx675.h"

#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr GlobalShutterTiming kIMX675Timing = {.blankingLines = 38, .reducedMode = 1};

}  // namespace

CSensorIMX675::CSensorIMX675(CControllerBase* controller, uint8_t busAddress)
    : CFpgaTriggerShutterSensor(controller, busAddress, SensorDriver::kIMX675, kIMX675Timing) {}

uint32_t CSensorIMX675::SetExposureTimeEx(double seconds) {
  const SecondsExposure e = ClampSeconds(info_.exposureSeconds, seconds);
  // The line time is in units of 0.1 ms, 100 microseconds each.
  const double lineUs = LineTime() * 100.0;
  if (SetExposureLines(LinesOfRatio(static_cast<double>(e.microseconds) / lineUs)) == 0) return 0;
  StoreSeconds(info_, e);
  return 1;
}

}  // namespace vexcam
