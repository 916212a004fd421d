#pragma once
// Driver of the 4608 x 3288 colour CMOS sensor with 16-bit registers on the
// serial bus; also the driver of every product id the factory does not know.

#include <cstdint>

#include "sensors/mt9_family.h"

namespace vexcam {

class CSensorMT9F001 final : public CMt9FamilySensor {
 public:
  // Sequencer program: 226 words from 0x3D00 to 0x3EC2.
  static constexpr uint16_t kSequencerBase = 0x3D00;
  static constexpr uint32_t kSequencerWords = 226;
  // The first active column sits 24 columns into the array.
  static constexpr uint32_t kColumnStart = 24;
  // Window timing of the 4608 x 3288 array.
  static constexpr Mt9WindowTiming kTiming{.columnStart = kColumnStart,
                                           .rowStart = 0,
                                           .lineBlanking = 312,
                                           .frameBlanking = 146,
                                           .minLineLength = {2760, 1848, 1848},
                                           .fineIntegration = 0x056A};

  CSensorMT9F001(CControllerBase* controller, uint8_t busAddress);

  uint32_t CheckSensor() override { return CheckChipVersion(0); }
  uint32_t InitSensor() override;

  // Word i of the sequencer program.
  static uint16_t SequencerWord(uint32_t index);
};

}  // namespace vexcam
