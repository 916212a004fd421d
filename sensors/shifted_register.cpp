#include "sensors/shifted_register.h"

#include "platform/clock.h"
#include "sensors/fpga_register.h"

namespace vexcam {

namespace {

void Settle() {
  TimerResolution resolution(1);
  SleepMs(ShiftedRegisterChannel::kSettleMs);
}

}  // namespace

uint32_t ShiftedRegisterChannel::Write(const ShiftedWord& word) {
  if (controller_ == nullptr) return 0;
  CsLock lock(lock_);
  if (controller_->WriteFpgaRegister(kRegNumber, word.reg) == 0) return 0;
  for (uint8_t i = 0; i < kDataRegisters; ++i) {
    const uint32_t shift = 8 * (kDataRegisters - 1 - i);
    const auto byte = static_cast<uint8_t>(word.data >> shift);
    if (controller_->WriteFpgaRegister(static_cast<uint8_t>(kRegDataFirst + i), byte) == 0) {
      return 0;
    }
  }
  if (controller_->WriteFpgaRegister(kRegShift, kShiftValue) == 0) return 0;
  const FpgaRegister pulse(controller_, kRegPulse);
  Settle();
  if (pulse.UpdateBits(1, true) == 0) return 0;
  const uint32_t cleared = pulse.UpdateBits(1, false);
  Settle();
  return cleared;
}

}  // namespace vexcam
