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
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    // The line time is in units of 0.1 ms, 100 microseconds each.
    const double lineUs = LineTime() * 100.0;
    return SetExposureLines(LinesOfRatio(static_cast<double>(e.microseconds) / lineUs));
  });
}

}  // namespace vexcam
