#pragma once
// Driver of the 2592 x 1944 colour CMOS sensor of the MT9 family on bus
// address 144: mirrors through the read-mode register, a trigger input, and
// a line length that only the window program sets.

#include <cstdint>

#include "sensors/mt9_family.h"

namespace vexcam {

class CSensorMT9P001 final : public CMt9FamilySensor {
 public:
  static constexpr uint32_t kReadModeFlipV = 0x8000;
  static constexpr uint32_t kReadModeMirrorH = 0x4000;
  // Standby with the trigger input enabled: one frame per trigger pulse.
  static constexpr uint16_t kResetTriggered = 0x19D8;
  static constexpr Mt9WindowTiming kTiming{.columnStart = 16,
                                           .rowStart = 54,
                                           .lineBlanking = 738,
                                           .frameBlanking = 56,
                                           .minLineLength = {1800, 1200, 1200},
                                           .fineIntegration = 0x0200};

  CSensorMT9P001(CControllerBase* controller, uint8_t busAddress);

  uint32_t CheckSensor() override { return CheckChipVersion(0); }
  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t mode) override;
  // 0 free run, any other value: a frame per trigger.
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  // From the pixel clock: 16000 kHz gives 1, 80000 kHz 2, any other 0.
  uint32_t GetSamplingRate(uint32_t* mode) override;

 private:
  ResetControlTrigger trigger_;
};

}  // namespace vexcam
