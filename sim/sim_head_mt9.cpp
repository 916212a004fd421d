// The head of the 16-bit register CMOS sensors: the generic register file
// at the row's bus address (register 0 the chip identification), answered on
// the serial bus and by the controller value request alike. A camera without
// an FPGA window takes its frame from the sensor: the output size registers,
// the window start and the skip steps of the read mode place it, and the
// coarse integration register is its exposure.
#include <atomic>

#include "sim/sim_head.h"
#include "sim/sim_head_mt9.h"

namespace vexcam::sim {
namespace {

constexpr uint16_t kRegChip = 0x0000;
constexpr uint16_t kRegXStart = 0x0344;
constexpr uint16_t kRegYStart = 0x0346;
constexpr uint16_t kRegOutputWidth = 0x034C;
constexpr uint16_t kRegOutputHeight = 0x034E;
constexpr uint16_t kRegCoarseIntegration = 0x3012;
constexpr uint16_t kRegReadMode = 0x3040;

std::atomic<Mt9fChip> g_chip{Mt9fChip::kFirst};

// Skip factor of an odd-increment field: 1 reads every pixel, 3 every
// second pair, 7 every fourth.
uint32_t Skip(uint32_t oddIncrement) { return oddIncrement >= 1 ? (oddIncrement + 1) / 2 : 1; }

class Mt9Head : public SimHead {
 public:
  void PowerOn(SimPorts& ports) override {
    if (ports.product.model == SimModel::kMT9F && g_chip.load() == Mt9fChip::kSecond) {
      ports.sensor[kRegChip] = kMt9fSecondChipWord;
    }
  }

  void ShapeFrame(const SimPorts& ports, PatternFrame& frame) const override {
    if (ports.product.delivery != FrameDelivery::kAltEndpoint) return;  // the FPGA sizes it
    const std::vector<uint16_t>& s = ports.sensor;
    const uint16_t readMode = s[kRegReadMode];
    const uint32_t skipX = Skip((readMode >> 6) & 7u);
    const uint32_t skipY = Skip(readMode & 0x3Fu);
    // Until the sensor is programmed its whole array is read at that step.
    frame.width = s[kRegOutputWidth] != 0 ? s[kRegOutputWidth] : ports.product.width / skipX;
    frame.height = s[kRegOutputHeight] != 0 ? s[kRegOutputHeight] : ports.product.height / skipY;
    // Pattern coordinates of a skipped window are the skipped grid's.
    frame.x0 = s[kRegXStart] / skipX;
    frame.y0 = s[kRegYStart] / skipY;
    frame.exposure = s[kRegCoarseIntegration];
  }
};

}  // namespace

void SetMt9fChip(Mt9fChip chip) { g_chip.store(chip); }
Mt9fChip GetMt9fChip() { return g_chip.load(); }

std::unique_ptr<SimHead> MakeMt9Head(const SimProduct& /*product*/) {
  return std::make_unique<Mt9Head>();
}

}  // namespace vexcam::sim
