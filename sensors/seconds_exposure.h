#pragma once
// The seconds-exposure record of the drivers that take an exposure in
// seconds: the request clamped into the record and converted into the units
// the drivers program and store.

#include <cstdint>

#include "sensors/sensor_base.h"

namespace vexcam {

struct SecondsExposure {
  double seconds = 0.0;       // clamped into [minimum, maximum]
  uint64_t microseconds = 0;  // seconds x 1e6, truncated
  uint32_t tenthsMs = 0;      // seconds x 10000, truncated: the real exposure time
};

// A request that is not a number counts as the minimum.
SecondsExposure ClampSeconds(const RangeRecordEx& record, double seconds);

// Stores the setting as the current seconds and the current real exposure time.
void StoreSeconds(SensorInfo& info, const SecondsExposure& exposure);

// Clamps the request, hands the setting to program (which returns 1 or 0)
// and stores it when programming succeeded; 0 leaves the record as it was.
template <typename Program>
uint32_t ApplySeconds(SensorInfo& info, double seconds, Program program) {
  const SecondsExposure e = ClampSeconds(info.exposureSeconds, seconds);
  if (program(e) == 0) return 0;
  StoreSeconds(info, e);
  return 1;
}

}  // namespace vexcam
