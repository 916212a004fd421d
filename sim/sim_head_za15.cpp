// The head of the video converter: three colour planes per pixel, sent
// pixel by pixel, so a frame row carries three samples for every image
// column. FPGA register 61 selects the sample width (0: 8 bits, 1 or 2:
// 16 bits). The sensor behind it is the generic 8-bit register file.
#include <memory>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

class ConverterHead : public SimHead {
 public:
  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    frame.width *= 3;
    frame.bits = ports.fpga[61] != 0 ? 16 : 8;
  }
};

}  // namespace

std::unique_ptr<SimHead> MakeConverterHead() { return std::make_unique<ConverterHead>(); }

}  // namespace vexcam::sim
