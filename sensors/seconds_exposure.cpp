#include "sensors/seconds_exposure.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexcam {

namespace {

// Truncates a scaled non-negative value into the integer type, saturating.
template <typename T>
T Scaled(double seconds, double scale) {
  const double v = seconds * scale;
  if (!(v > 0.0)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<T>::max())) {
    return std::numeric_limits<T>::max();
  }
  return static_cast<T>(v);
}

}  // namespace

SecondsExposure ClampSeconds(const RangeRecordEx& record, double seconds) {
  const double s = std::isnan(seconds) ? record.minimum
                                       : std::clamp(seconds, record.minimum,
                                                    std::max(record.minimum, record.maximum));
  return {
      .seconds = s, .microseconds = Scaled<uint64_t>(s, 1e6), .tenthsMs = Scaled<uint32_t>(s, 1e4)};
}

void StoreSeconds(SensorInfo& info, const SecondsExposure& exposure) {
  info.exposureSeconds.current = exposure.seconds;
  info.exposureTime.current = exposure.tenthsMs;
}

}  // namespace vexcam
