#pragma once
// The analog front end of the CCD cameras: gain and offset of the four
// output channels, each a 16-bit value in a pair of FPGA registers (low byte
// first). Channels are numbered 1 to 4; any other number fails.

#include <cstdint>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vexcam {

class CcdFrontEnd {
 public:
  static constexpr uint32_t kChannels = 4;
  static constexpr RangeRecord kGainRange{0, 65535, 4096, 4096, 1};
  static constexpr RangeRecord kOffsetRange{0, 65535, 0, 0, 1};

  // controller is borrowed and may be null (every access then fails).
  explicit CcdFrontEnd(CControllerBase* controller) : controller_(controller) {}

  // Values above the range fail without a write.
  uint32_t SetGain(uint32_t channel, uint32_t value);
  uint32_t GetGain(uint32_t channel, uint32_t* value);
  uint32_t SetOffset(uint32_t channel, uint32_t value);
  uint32_t GetOffset(uint32_t channel, uint32_t* value);

 private:
  // channel1 is the low register of channel 1's pair.
  uint32_t Write(uint8_t channel1, uint32_t channel, uint32_t value, const RangeRecord& range);
  uint32_t Read(uint8_t channel1, uint32_t channel, uint32_t* value);

  CControllerBase* const controller_;
};

}  // namespace vexcam
