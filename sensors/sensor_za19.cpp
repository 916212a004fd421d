#include "sensors/sensor_za19.h"

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr GlobalShutterTiming kZA19Timing = {.blankingLines = 38, .reducedMode = 1};

}  // namespace

CSensorZA19::CSensorZA19(CControllerBase* controller, uint8_t busAddress)
    : CFpgaTriggerShutterSensor(controller, busAddress, SensorDriver::kZA19, kZA19Timing) {}

}  // namespace vexcam
