#pragma once
// Register numbers, endpoints and byte helpers shared by the source files of
// the simulated camera (sim_camera*.cpp); not for use outside them.

#include <cstdint>

namespace vexcam::sim::firmware {

inline constexpr uint8_t kEndpointIn = 0x81;
inline constexpr uint8_t kEndpointAlt = 0x83;
inline constexpr uint8_t kEndpointOut = 0x01;

// FPGA registers the model gives a meaning.
enum FpgaReg : uint8_t {
  kRegBusy = 2,
  kRegAdcLow = 4,
  kRegAdcHigh = 5,
  kRegFrameCounter = 8,
  kRegVersionHigh = 16,
  kRegVersionLow = 17,
  kRegDataWidth = 60,
  kRegHeightLow = 64,
  kRegHeightHigh = 65,
  kRegWidthLow = 68,
  kRegWidthHigh = 69,
  kRegReadoutLow = 84,
  kRegReadoutHigh = 85,
  kRegTrigger = 88,
  kRegRestart = 129,
  kRegSensorMode = 130,
  kRegExposure0 = 133,
  kRegExposure1 = 134,
  kRegWindowY = 136,
  kRegPeltier = 151,
  kRegExposure2 = 155,
};

inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace vexcam::sim::firmware
