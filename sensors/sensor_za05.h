#pragma once
// Driver of the 1280 x 1024 CMOS camera with 16-bit sensor registers on the
// serial bus (bus address 108): window, exposure, gain steps, mirrors and a
// trigger input in the sensor itself.

#include <cstdint>

#include "sensors/read_mode_register.h"
#include "sensors/serial_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

class CSensorZA05 final : public CTableDrivenSensor {
 public:
  static constexpr uint16_t kRegRowStart = 0x3002;
  static constexpr uint16_t kRegColumnStart = 0x3004;
  static constexpr uint16_t kRegRowEnd = 0x3006;
  static constexpr uint16_t kRegColumnEnd = 0x3008;
  static constexpr uint16_t kRegFrameLength = 0x300A;
  static constexpr uint16_t kRegLineLength = 0x300C;
  static constexpr uint16_t kRegCoarseIntegration = 0x3012;
  static constexpr uint16_t kRegResetControl = 0x301A;
  static constexpr uint16_t kRegReadMode = 0x3040;
  static constexpr uint16_t kRegAnalogGain = 0x30B0;
  static constexpr uint16_t kReadModeFlipV = 0x8000;
  static constexpr uint16_t kReadModeMirrorH = 0x4000;
  static constexpr uint16_t kResetStreaming = 0x10DC;
  static constexpr uint16_t kResetTriggered = 0x19D8;
  static constexpr uint32_t kFrameBlanking = 26;  // lines added to the window height

  CSensorZA05(CControllerBase* controller, uint8_t busAddress);

  uint32_t InitSensor() override;
  // x, width and height even; inside the array.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  // Rejected outside the record.
  uint32_t SetExposureLines(uint32_t lines) override;
  // Gain step 0..11 (rejected above).
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  // The frame length in lines: operation 0 sets it (at least the window
  // height plus blanking), 1 reads it.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;

  // The analog gain word of a gain step.
  static uint16_t GainWord(uint32_t step);

 private:
  SerialRegister16 sensor_register_;
  ReadModeRegister read_mode_;
  ResetControlTrigger trigger_;
};

}  // namespace vexcam
