#pragma once
// The base of the drivers whose exposure-time limits are the record's own
// (the camera takes the time itself, not a line count): the limits are not
// converted from the exposure lines.

#include <cstdint>

#include "sensors/table_driven_sensor.h"

namespace vexcam {

class CRecordTimeSensor : public CTableDrivenSensor {
 public:
  using CTableDrivenSensor::CTableDrivenSensor;

  uint32_t GetExposureTimeMin(uint32_t* time) override {
    return Put(time, info_.exposureTime.minimum);
  }
  uint32_t GetExposureTimeMax(uint32_t* time) override {
    return Put(time, info_.exposureTime.maximum);
  }
};

}  // namespace vexcam
