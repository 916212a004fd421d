#pragma once
// Driver of the 3856 x 2764 colour CMOS sensor (3840 x 2752 effective at
// 8, 8) of the MT9 family, with three selectable pixel clocks. On a camera
// without an FPGA register file (mode flag kModeFlagAltRegisterPath) the
// controller reads the sensor registers for the host and has already brought
// the sensor up, so the start-up list is shorter.

#include <cstdint>

#include "sensors/mt9_family.h"

namespace vexcam {

class CSensorMT9J001 final : public CMt9FamilySensor {
 public:
  // Register 0 of this chip.
  static constexpr uint32_t kChipId = 0x2C01;
  static constexpr uint16_t kRegPll = 0x0300;  // six clock words, 0x0300 to 0x030A
  static constexpr uint16_t kRegSysClockDivider = 0x0302;
  static constexpr Mt9WindowTiming kTiming{.columnStart = 0,
                                           .rowStart = 0,
                                           .lineBlanking = 596,
                                           .frameBlanking = 236,
                                           .minLineLength = {2400, 1600, 1600},
                                           .fineIntegration = 0x0400};

  CSensorMT9J001(CControllerBase* controller, uint8_t busAddress);

  uint32_t CheckSensor() override { return CheckChipVersion(kChipId); }
  uint32_t InitSensor() override;
  uint32_t ReadSensorRegister(uint32_t address, uint32_t* value) override;
  // Mode 2: 80000 kHz, 1: 16000 kHz, 0: 32000 kHz.
  uint32_t SetSamplingRate(uint32_t mode) override;
  uint32_t GetSamplingRate(uint32_t* mode) override;

  // Pixel clock in kHz of a sampling mode (0 for an unknown mode).
  static uint32_t PixelClockOfMode(uint32_t mode);

 private:
  bool ControllerReads() const { return (mode_flags_ & kModeFlagAltRegisterPath) != 0; }
};

}  // namespace vexcam
