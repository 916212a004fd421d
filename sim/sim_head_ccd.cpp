// The head of the CCD cameras: no sensor on the serial bus. The two timing
// generator chips take their words by controller request 0xD0 and cannot be
// read back (0xD1 stalls); the head keeps what arrived. Exposure counter,
// channel gains and offsets, analog gain and mirror are plain FPGA
// registers. The camera always reads out the full image, whatever the
// window registers hold.
#include "sim/sim_head.h"

namespace vexcam::sim {

namespace {

constexpr uint8_t kRegExposureLow = 226;  // lines from the shutter pulse to the end of the frame
constexpr uint8_t kRegExposureHigh = 227;

class CcdHead final : public SimHead {
 public:
  bool ControllerWordRead(SimPorts& /*ports*/, uint16_t /*address*/, uint32_t* /*word*/) override {
    return false;
  }

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    frame.width = ports.product.width;
    frame.height = ports.product.height;
    frame.x0 = 0;
    frame.y0 = 0;
    frame.exposure = ports.fpga[kRegExposureLow] | ports.fpga[kRegExposureHigh] << 8;
  }
};

}  // namespace

std::unique_ptr<SimHead> MakeCcdHead() { return std::make_unique<CcdHead>(); }

}  // namespace vexcam::sim
