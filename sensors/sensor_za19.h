#pragma once
// Driver of the 1936 x 1096 camera: the later Sony register map (verified
// writes, retrying reads, frame and shutter under the register hold), an
// exposure in seconds and the trigger in an FPGA register.

#include <cstdint>

#include "sensors/sensor_imx273.h"

namespace vexcam {

// 1936 x 1096; model number 61.
class CSensorZA19 final : public CFpgaTriggerShutterSensor {
 public:
  CSensorZA19(CControllerBase* controller, uint8_t busAddress);
};

}  // namespace vexcam
