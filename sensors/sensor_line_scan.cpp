#include "sensors/sensor_line_scan.h"

#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

uint32_t CLineScanSensor::InitSensor() { return StartUp(info_.effectiveWidth, kInitialLines); }

CSensorZA10::CSensorZA10(CControllerBase* controller, uint8_t busAddress)
    : CLineScanSensor(controller, busAddress, SensorDriver::kZA10) {}

CSensorZA11::CSensorZA11(CControllerBase* controller, uint8_t busAddress)
    : CLineScanSensor(controller, busAddress, SensorDriver::kZA11) {}

CSensorZA12::CSensorZA12(CControllerBase* controller, uint8_t busAddress)
    : CLineScanSensor(controller, busAddress, SensorDriver::kZA12) {}

uint32_t CSensorZA12::SetTriggerMode(uint32_t mode) {
  uint32_t value = 0;
  if (ReadSensorRegister(kRegTrigger, &value) == 0) return 0;
  value = mode != 0 ? (value | 1u) : (value & ~1u);
  if (WriteSensorRegister(kRegTrigger, value) == 0) return 0;
  return PulseUpdateStrobe(controller_, model_number_);
}

uint32_t CSensorZA12::GetTriggerMode(uint32_t* mode) {
  uint32_t value = 0;
  if (mode == nullptr || ReadSensorRegister(kRegTrigger, &value) == 0) return 0;
  *mode = value & 1u;
  return 1;
}

CSensorZA13::CSensorZA13(CControllerBase* controller, uint8_t busAddress)
    : CLineScanSensor(controller, busAddress, SensorDriver::kZA13) {}

}  // namespace vexcam
