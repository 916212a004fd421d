#pragma once
// Driver of the 2592 x 4060 camera: the later Sony register map with the
// frame and shutter registers latched under the register hold. Its seconds
// record is programmed in microseconds; the trigger sits in an FPGA register.

#include <cstdint>

#include "sensors/sensor_imx273.h"

namespace vexcam {

// 2592 x 4060; model number 121.
class CSensorIMX675 final : public CFpgaTriggerShutterSensor {
 public:
  CSensorIMX675(CControllerBase* controller, uint8_t busAddress);
  // Clamped seconds x 1e6 (truncated) converted to lines with the line time.
  uint32_t SetExposureTimeEx(double seconds) override;
};

}  // namespace vexcam
