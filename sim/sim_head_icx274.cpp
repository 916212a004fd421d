// The head of the 1600 x 1200 CCD camera: no sensor on the serial bus; its
// timing-generator chip takes words by controller request and answers reads
// of them (the base head keeps the words). The exposure counter sits in FPGA
// registers 226/227; the camera always reads out the full image.
#include "sim/sim_head.h"

namespace vexcam::sim {

namespace {

constexpr uint8_t kRegExposureLow = 226;
constexpr uint8_t kRegExposureHigh = 227;

class ReadableCcdHead final : public SimHead {
 public:
  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    frame.width = ports.product.width;
    frame.height = ports.product.height;
    frame.x0 = 0;
    frame.y0 = 0;
    frame.exposure = ports.fpga[kRegExposureLow] | ports.fpga[kRegExposureHigh] << 8;
  }
};

}  // namespace

std::unique_ptr<SimHead> MakeReadableCcdHead() { return std::make_unique<ReadableCcdHead>(); }

}  // namespace vexcam::sim
