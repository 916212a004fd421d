#pragma once
// Signed 9.3 fixed-point temperature of a 12-bit reading: bit 11 weighs
// -256 degrees, bits 3-10 whole degrees, bits 0-2 eighths.

#include <cstdint>

namespace vexcam {

// Degrees Celsius of the low 12 bits of raw (higher bits are ignored).
double Fixed93ToCelsius(uint32_t raw);

}  // namespace vexcam
