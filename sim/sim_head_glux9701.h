#pragma once
// The 1280 x 1024 camera with the 8-bit register sensor (products 0x32C0 and
// 0x33B0). Its FPGA reports the sensor link in register 33 (3: up). An FPGA
// of revision 9 or later (register 19) brings the link up by itself; an
// older one needs the sensor reset (register 34 set, then cleared) a number
// of times first. The sensor keeps its die temperature in registers 393
// (high) and 392 (low) as (celsius + 287.09) / 0.3213.

#include <cstdint>

#include "sim/sim_head.h"

namespace vexcam::sim {

class SimHeadGLUX9701 : public SimHead {
 public:
  static constexpr uint8_t kRegRevision = 19;
  static constexpr uint8_t kRegLink = 33;
  static constexpr uint8_t kRegReset = 34;
  static constexpr uint8_t kLinkUp = 3;
  static constexpr uint16_t kRegTemperatureLow = 392;
  static constexpr uint16_t kRegTemperatureHigh = 393;

  void PowerOn(SimPorts& ports) override;
  void FpgaWritten(SimPorts& ports, uint8_t reg, uint8_t old, uint8_t value) override;
  std::optional<uint8_t> FpgaRead(SimPorts& ports, uint8_t reg) override;
  bool SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) override;

  // Test hooks: resets an older FPGA needs before the link comes up (0:
  // never), and the resets seen since power-on.
  void SetResetsToLink(uint32_t resets) { resetsToLink_ = resets; }
  uint32_t Resets() const { return resets_; }

 private:
  uint32_t resetsToLink_ = 1;
  uint32_t resets_ = 0;
};

}  // namespace vexcam::sim
