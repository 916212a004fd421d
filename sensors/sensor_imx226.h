#pragma once
// Driver of the 4168 x 3062 rolling-shutter camera: the group of
// sensors/sensor_imx159.h with two rows per line period, 8-bit or 16-bit
// data and every register write verified against the FPGA bus flag. It has
// no trigger input and no frame-length parameter.

#include <cstdint>

#include "sensors/sensor_imx159.h"

namespace vexcam {

// 4168 x 3062 array, 4160 x 3056 effective; model number 60.
class CSensorIMX226 final : public CRollingShutterSensor {
 public:
  CSensorIMX226(CControllerBase* controller, uint8_t busAddress);

  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataWidth(sixteenBit); }
};

}  // namespace vexcam
