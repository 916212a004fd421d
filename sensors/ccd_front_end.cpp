#include "sensors/ccd_front_end.h"

#include "sensors/fpga_register.h"

namespace vexcam {

namespace {

// Low registers of channel 1; each further channel is two registers on, the
// high byte in the register after the low one.
constexpr uint8_t kGainChannel1 = 120;
constexpr uint8_t kOffsetChannel1 = 112;

bool ValidChannel(uint32_t channel) { return channel >= 1 && channel <= CcdFrontEnd::kChannels; }

// The register pair of a channel: channel 1's low register, two on per channel.
FpgaRegisters<2> ChannelPair(CControllerBase* controller, uint8_t channel1, uint32_t channel) {
  const auto low = static_cast<uint8_t>(channel1 + 2 * (channel - 1));
  return {controller, {low, static_cast<uint8_t>(low + 1)}};
}

}  // namespace

uint32_t CcdFrontEnd::Write(uint8_t channel1, uint32_t channel, uint32_t value,
                            const RangeRecord& range) {
  if (!ValidChannel(channel) || value < range.minimum || value > range.maximum) return 0;
  return ChannelPair(controller_, channel1, channel).Write(value);
}

uint32_t CcdFrontEnd::Read(uint8_t channel1, uint32_t channel, uint32_t* value) {
  if (!ValidChannel(channel)) return 0;
  return ChannelPair(controller_, channel1, channel).Read(value);
}

uint32_t CcdFrontEnd::SetGain(uint32_t channel, uint32_t value) {
  return Write(kGainChannel1, channel, value, kGainRange);
}
uint32_t CcdFrontEnd::GetGain(uint32_t channel, uint32_t* value) {
  return Read(kGainChannel1, channel, value);
}
uint32_t CcdFrontEnd::SetOffset(uint32_t channel, uint32_t value) {
  return Write(kOffsetChannel1, channel, value, kOffsetRange);
}
uint32_t CcdFrontEnd::GetOffset(uint32_t channel, uint32_t* value) {
  return Read(kOffsetChannel1, channel, value);
}

}  // namespace vexcam
