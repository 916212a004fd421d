#include "sensors/ccd_front_end.h"

#include "sensors/fpga_register.h"

namespace vexcam {

namespace {

// Low registers of channel 1; each further channel is two registers on, the
// high byte in the register after the low one.
constexpr uint8_t kGainChannel1 = 120;
constexpr uint8_t kOffsetChannel1 = 112;

bool ValidChannel(uint32_t channel) { return channel >= 1 && channel <= CcdFrontEnd::kChannels; }

uint8_t LowRegister(uint8_t channel1, uint32_t channel) {
  return static_cast<uint8_t>(channel1 + 2 * (channel - 1));
}

}  // namespace

uint32_t CcdFrontEnd::Write(uint8_t lowRegister, uint32_t value, const RangeRecord& range) {
  if (value < range.minimum || value > range.maximum) return 0;
  const FpgaRegisters<2> pair(controller_, {lowRegister, static_cast<uint8_t>(lowRegister + 1)});
  return pair.Write(value);
}

uint32_t CcdFrontEnd::Read(uint8_t lowRegister, uint32_t* value) {
  const FpgaRegisters<2> pair(controller_, {lowRegister, static_cast<uint8_t>(lowRegister + 1)});
  return pair.Read(value);
}

uint32_t CcdFrontEnd::SetGain(uint32_t channel, uint32_t value) {
  if (!ValidChannel(channel)) return 0;
  return Write(LowRegister(kGainChannel1, channel), value, kGainRange);
}

uint32_t CcdFrontEnd::GetGain(uint32_t channel, uint32_t* value) {
  if (!ValidChannel(channel)) return 0;
  return Read(LowRegister(kGainChannel1, channel), value);
}

uint32_t CcdFrontEnd::SetOffset(uint32_t channel, uint32_t value) {
  if (!ValidChannel(channel)) return 0;
  return Write(LowRegister(kOffsetChannel1, channel), value, kOffsetRange);
}

uint32_t CcdFrontEnd::GetOffset(uint32_t channel, uint32_t* value) {
  if (!ValidChannel(channel)) return 0;
  return Read(LowRegister(kOffsetChannel1, channel), value);
}

}  // namespace vexcam
