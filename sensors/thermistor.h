#pragma once
// The cooled camera's thermistor: a 10 kOhm (at 25 degC) NTC with B = 3950
// in a divider read by a 10-bit converter. Conversions between the reading
// (or the cooling controller's set-point code, which uses the same scale) and
// degrees Celsius, both directions.

#include <cstdint>
#include <optional>

namespace vexcam::thermistor {

inline constexpr double kBeta = 3950.0;
inline constexpr double kInverseT25 = 0.0033540164346805303;  // 1 / 298.15 K
inline constexpr double kKelvin = 273.15;
inline constexpr double kDividerScale = 9994.24;
inline constexpr double kDividerOffset = 9.76;
inline constexpr double kResistanceUnit = 10.0;  // kOhm at 25 degC

// Degrees Celsius of a reading; none for a reading the divider cannot give
// (0, or one that means a resistance of 0 or less).
std::optional<double> TemperatureOfReading(uint32_t reading);

// The set-point code of a cooling target in degrees Celsius (truncated);
// none at or below absolute zero.
std::optional<uint16_t> CodeOfTemperature(double celsius);

// The cooling target of a set-point code, truncated to whole degrees.
std::optional<int32_t> WholeDegreesOfCode(uint16_t code);

}  // namespace vexcam::thermistor
