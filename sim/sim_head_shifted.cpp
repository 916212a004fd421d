// The cameras loaded with shifted register words (ZA16, ZA17, ZA18, ZA20): the
// FPGA shifts a word out on the rising edge of register 48 bit 0, taking
// the register number from register 32 and the 56-bit data word from
// registers 33 (bits 55..48) to 39 (bits 7..0) once register 49 selects the
// shift (7). The sensor keeps the words; the frame follows its depth word
// (register 5: 1 selects 16-bit samples) and its window word (register 6:
// x, y, width, height, 14 bits each from bit 42 down; or, on the large
// camera, words 8 and 9: x and y, width and height, 28 bits each).
#include <map>
#include <memory>

#include "sim/sim_head.h"

namespace vexcam::sim {
namespace {

constexpr uint8_t kRegNumber = 32;
constexpr uint8_t kRegDataFirst = 33;
constexpr uint8_t kRegShift = 49;
constexpr uint8_t kShiftValue = 7;
constexpr uint8_t kRegPulse = 48;
constexpr uint8_t kWordDepth = 5;
constexpr uint8_t kWordWindow = 6;
constexpr uint8_t kWordOrigin = 8;
constexpr uint8_t kWordSize = 9;

class ShiftedHead final : public SimHead {
 public:
  void FpgaWritten(SimPorts& ports, uint8_t reg, uint8_t old, uint8_t value) override {
    if (reg != kRegPulse || (old & 1) != 0 || (value & 1) == 0) return;
    if (ports.fpga[kRegShift] != kShiftValue) return;
    uint64_t data = 0;
    for (uint8_t i = 0; i < 7; ++i) data = data << 8 | ports.fpga[kRegDataFirst + i];
    words_[ports.fpga[kRegNumber]] = data;
  }

  void ShapeFrame(const SimPorts& /*ports*/, PatternFrame& frame) const override {
    if (auto d = words_.find(kWordDepth); d != words_.end()) frame.bits = d->second == 1 ? 16 : 8;
    if (auto w = words_.find(kWordWindow); w != words_.end()) {
      constexpr uint64_t kMask = 0x3FFF;
      const uint64_t v = w->second;
      if ((v & kMask) != 0 && (v >> 14 & kMask) != 0) {
        frame.x0 = static_cast<uint32_t>(v >> 42 & kMask);
        frame.y0 = static_cast<uint32_t>(v >> 28 & kMask);
        frame.width = static_cast<uint32_t>(v >> 14 & kMask);
        frame.height = static_cast<uint32_t>(v & kMask);
      }
    }
    const auto origin = words_.find(kWordOrigin);
    const auto size = words_.find(kWordSize);
    if (origin != words_.end() && size != words_.end()) {
      constexpr uint64_t kMask = 0xFFFFFFF;
      if ((size->second & kMask) != 0 && (size->second >> 28 & kMask) != 0) {
        frame.x0 = static_cast<uint32_t>(origin->second >> 28 & kMask);
        frame.y0 = static_cast<uint32_t>(origin->second & kMask);
        frame.width = static_cast<uint32_t>(size->second >> 28 & kMask);
        frame.height = static_cast<uint32_t>(size->second & kMask);
      }
    }
  }

 private:
  std::map<uint8_t, uint64_t> words_;
};

}  // namespace

std::unique_ptr<SimHead> MakeShiftedHead() { return std::make_unique<ShiftedHead>(); }

}  // namespace vexcam::sim
