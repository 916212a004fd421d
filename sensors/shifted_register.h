#pragma once
// Sensor registers loaded as shifted words through the FPGA: a register
// number and a 56-bit data word are placed in FPGA registers 32 (number) and
// 33..39 (data bits 55..48 down to 7..0), FPGA register 49 selects the
// shift (7), and a pulse on bit 0 of FPGA register 48 (set, then cleared,
// each by read-modify-write) shifts the word out, with a settling wait
// before and after the pulse. One word at a time: the channel holds its lock
// for the whole load.

#include <cstdint>

#include "platform/critical_section.h"
#include "transport/controller_base.h"

namespace vexcam {

struct ShiftedWord {
  uint8_t reg = 0;
  uint64_t data = 0;  // bits 0..55
  bool operator==(const ShiftedWord&) const = default;
};

// WriteSensorRegister's address split of the cameras that use it: the
// register number is bits 24..31 of the address; the data word carries the
// value in bits 0..31 and address bits 0..23 in bits 32..55.
constexpr ShiftedWord SplitShiftedAddress(uint32_t address, uint32_t value) {
  return {static_cast<uint8_t>(address >> 24),
          (static_cast<uint64_t>(address & 0xFFFFFFu) << 32) | value};
}

class ShiftedRegisterChannel {
 public:
  static constexpr uint8_t kRegNumber = 32;
  static constexpr uint8_t kRegDataFirst = 33;  // data bits 55..48; 39 holds bits 7..0
  static constexpr uint8_t kDataRegisters = 7;
  static constexpr uint8_t kRegShift = 49;
  static constexpr uint8_t kShiftValue = 7;
  static constexpr uint8_t kRegPulse = 48;
  static constexpr uint32_t kSettleMs = 10;

  // controller is borrowed and may be null (every write then fails).
  explicit ShiftedRegisterChannel(CControllerBase* controller) : controller_(controller) {}
  ShiftedRegisterChannel(const ShiftedRegisterChannel&) = delete;
  ShiftedRegisterChannel& operator=(const ShiftedRegisterChannel&) = delete;

  // 1 when every FPGA access succeeded; stops at the first failure.
  uint32_t Write(const ShiftedWord& word);
  uint32_t Write(uint8_t reg, uint64_t data) { return Write(ShiftedWord{reg, data}); }

 private:
  CControllerBase* const controller_;
  CriticalSection lock_;
};

}  // namespace vexcam
