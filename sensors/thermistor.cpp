#include "sensors/thermistor.h"

#include <cmath>

namespace vexcam::thermistor {

std::optional<double> TemperatureOfReading(uint32_t reading) {
  if (reading == 0) return std::nullopt;
  const double resistance = (kDividerScale / reading - kDividerOffset) / kResistanceUnit;
  if (!(resistance > 0.0)) return std::nullopt;
  return 1.0 / (std::log(resistance) / kBeta + kInverseT25) - kKelvin;
}

std::optional<uint16_t> CodeOfTemperature(double celsius) {
  const double kelvin = celsius + kKelvin;
  if (!(kelvin > 0.0)) return std::nullopt;
  const double resistance = std::exp((1.0 / kelvin - kInverseT25) * kBeta);
  // The divider keeps the code below 1024 for every resistance.
  return static_cast<uint16_t>(kDividerScale / (resistance * kResistanceUnit + kDividerOffset));
}

std::optional<int32_t> WholeDegreesOfCode(uint16_t code) {
  const std::optional<double> t = TemperatureOfReading(code);
  if (!t) return std::nullopt;
  return static_cast<int32_t>(*t);
}

}  // namespace vexcam::thermistor
