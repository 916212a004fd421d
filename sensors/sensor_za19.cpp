#include "sensors/sensor_za19.h"

#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

constexpr uint8_t kRegTrigger = 88;  // FPGA: 1 external trigger, 0 free run
constexpr GlobalShutterTiming kZA19Timing = {.blankingLines = 38, .reducedMode = 1};

}  // namespace

CSensorZA19::CSensorZA19(CControllerBase* controller, uint8_t busAddress)
    : CGlobalShutterSensor(controller, busAddress, SensorDriver::kZA19, kZA19Timing),
      trigger_(controller, kRegTrigger) {}

uint32_t CSensorZA19::SetTriggerMode(uint32_t mode) {
  if (trigger_.Write(mode != 0 ? 1 : 0) == 0) return 0;
  return PulseUpdateStrobe(controller_, model_number_);
}

uint32_t CSensorZA19::GetTriggerMode(uint32_t* mode) { return trigger_.Read(mode); }

}  // namespace vexcam
