#include "sensors/timing_chip_channel.h"

namespace vexcam {

namespace {
constexpr uint32_t kMaxAddress = 0xFFFF;
constexpr uint32_t kWordMask = TimingChipChannel::kWordsPerChip - 1;
}  // namespace

TimingChipChannel::TimingChipChannel(CControllerBase* controller, ReadBack readBack)
    : controller_(controller), read_back_(readBack) {
  shadow_.fill(kNeverWritten);
}

size_t TimingChipChannel::ShadowIndex(uint32_t address) {
  const size_t bank = (address & kChip1) != 0 ? 1 : 0;
  return bank * kWordsPerChip + (address & kWordMask);
}

uint32_t TimingChipChannel::Write(uint32_t address, uint32_t word) {
  if (controller_ == nullptr || address > kMaxAddress) return 0;
  CsLock lock(lock_);
  if (read_back_ == ReadBack::kShadow) shadow_[ShadowIndex(address)] = word;
  return controller_->WriteControllerWord(static_cast<uint16_t>(address), word) != 0 ? 1 : 0;
}

uint32_t TimingChipChannel::Read(uint32_t address, uint32_t* word) {
  if (word == nullptr || address > kMaxAddress) return 0;
  if (read_back_ == ReadBack::kController) {
    if (controller_ == nullptr) return 0;
    CsLock lock(lock_);
    return controller_->ReadControllerWord(static_cast<uint16_t>(address), word) != 0 ? 1 : 0;
  }
  CsLock lock(lock_);
  const uint32_t value = shadow_[ShadowIndex(address)];
  if (value == kNeverWritten) return 0;
  *word = value;
  return 1;
}

}  // namespace vexcam
