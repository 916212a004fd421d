// The heads of the cameras whose sensor the FPGA runs: the window origin in
// FPGA registers 96..99 places the frame, the 24-bit counter in registers
// 133, 134 and 155 is the exposure (pixel clocks less one on the area
// cameras, 0.1 ms units on the line-scan cameras). The cooled camera adds a
// cooler controller behind registers 80..84: register 81 bit 0 switches the
// Peltier, 84 = 0 then 82 = 0, 1 commits the set-point code in 80 (low) and
// 83 (high); 84 = 2 then 82 = 0, 2 latches the thermistor reading into
// registers 4 (low) and 5 (high) and the set-point back into 80 and 83.
// With the cooling on the sensor sits at the set-point, else at ambient.
#include <cmath>
#include <memory>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

class FpgaSensorHead : public SimHead {
 public:
  explicit FpgaSensorHead(bool lineScan) : lineScan_(lineScan) {}

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    const auto& f = ports.fpga;
    frame.x0 = f[96] | f[97] << 8;
    frame.y0 = f[98] | f[99] << 8;
    const uint32_t counter = f[133] | f[134] << 8 | f[155] << 16;
    // In lines of the frame timing: the area cameras count pixel clocks.
    frame.exposure = lineScan_ ? counter : (counter + 1) / ports.product.lineLength;
  }

 private:
  const bool lineScan_;
};

// Thermistor divider of the cooler: 10 kOhm at 25 degC, B = 3950, read by a
// 10-bit converter against a 9.76 kOhm reference.
uint16_t ReadingOfTemperature(double celsius) {
  const double r = std::exp((1.0 / (celsius + 273.15) - 1.0 / 298.15) * 3950.0);
  return static_cast<uint16_t>(9994.24 / (r * 10.0 + 9.76));
}

double TemperatureOfReading(uint16_t reading) {
  const double r = (9994.24 / reading - 9.76) / 10.0;
  return 1.0 / (std::log(r) / 3950.0 + 1.0 / 298.15) - 273.15;
}

class CooledFpgaSensorHead : public FpgaSensorHead {
 public:
  CooledFpgaSensorHead() : FpgaSensorHead(false) {}

  void PowerOn(SimPorts& /*ports*/) override { setPoint_ = ReadingOfTemperature(0.0); }

  void FpgaWritten(SimPorts& ports, uint8_t reg, uint8_t old, uint8_t value) override {
    auto& f = ports.fpga;
    if (reg != 82 || old != 0) return;
    if (value == 1 && f[84] == 0) {
      setPoint_ = static_cast<uint16_t>(f[80] | f[83] << 8);
    } else if (value == 2 && f[84] == 2) {
      const bool cooling = (f[81] & 1) != 0;
      const double t =
          cooling && setPoint_ != 0 ? TemperatureOfReading(setPoint_) : ports.temperature();
      const uint16_t reading = ReadingOfTemperature(t);
      f[4] = static_cast<uint8_t>(reading);
      f[5] = static_cast<uint8_t>(reading >> 8);
      f[80] = static_cast<uint8_t>(setPoint_);
      f[83] = static_cast<uint8_t>(setPoint_ >> 8);
    }
  }

 private:
  uint16_t setPoint_ = 0;
};

}  // namespace

std::unique_ptr<SimHead> MakeFpgaSensorHead(SimModel model) {
  if (model == SimModel::kCooledFpgaSensor) return std::make_unique<CooledFpgaSensorHead>();
  return std::make_unique<FpgaSensorHead>(model == SimModel::kLineScan);
}

}  // namespace vexcam::sim
