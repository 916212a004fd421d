// The heads of the CCD cameras: no sensor on the serial bus. The timing
// generator chips take their words by controller request 0xD0; the head
// keeps what arrived. On the two-chip cameras the words cannot be read back
// (0xD1 stalls); the 1600 x 1200 camera's single chip answers reads of them.
// Exposure counter (FPGA registers 226/227), channel gains and offsets,
// analog gain and mirror are plain FPGA registers. The camera always reads
// out the full image, whatever the window registers hold.
#include "sim/sim_head.h"

namespace vexcam::sim {

namespace {

constexpr uint8_t kRegExposureLow = 226;  // lines from the shutter pulse to the end of the frame
constexpr uint8_t kRegExposureHigh = 227;

class CcdHead final : public SimHead {
 public:
  explicit CcdHead(bool wordsReadable) : words_readable_(wordsReadable) {}

  bool ControllerWordRead(SimPorts& ports, uint16_t address, uint32_t* word) override {
    return words_readable_ && SimHead::ControllerWordRead(ports, address, word);
  }

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    frame.width = ports.product.width;
    frame.height = ports.product.height;
    frame.x0 = 0;
    frame.y0 = 0;
    frame.exposure = ports.fpga[kRegExposureLow] | ports.fpga[kRegExposureHigh] << 8;
  }

 private:
  const bool words_readable_;
};

}  // namespace

std::unique_ptr<SimHead> MakeCcdHead() { return std::make_unique<CcdHead>(false); }
std::unique_ptr<SimHead> MakeReadableCcdHead() { return std::make_unique<CcdHead>(true); }

}  // namespace vexcam::sim
