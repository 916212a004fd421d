#include "sensors/fixed_point_temperature.h"

namespace vexcam {

double Fixed93ToCelsius(uint32_t raw) {
  const double whole = static_cast<double>((raw >> 3) & 0xFF);
  const double sign = (raw & 0x800) != 0 ? 256.0 : 0.0;
  return whole - sign + 0.5 * ((raw >> 2) & 1) + 0.25 * ((raw >> 1) & 1) + 0.125 * (raw & 1);
}

}  // namespace vexcam
