#pragma once
// Drivers of the global-shutter cameras whose exposure is the frame length
// (sensor registers 528..530) minus the shutter start (653..655): 2448 x 2048
// and 2048 x 1536 arrays, 8-bit or 16-bit data, a 2 x 2 mode. The window and
// exposure arithmetic is pregius_exposure.h; this class executes its plans
// through the Sony channel (verified writes wait for the FPGA busy flag).

#include <cstdint>

#include "sensors/sony_sensor.h"

namespace vexcam {

class CPregiusSensor : public CSonySensor {
 public:
  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  // 1: external trigger (sensor trigger mode and FPGA trigger gate); else free run.
  uint32_t SetTriggerMode(uint32_t mode) override { return ApplyGatedTrigger(mode); }
  uint32_t GetTriggerMode(uint32_t* mode) override { return ReportTrigger(mode); }
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataWidth(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetExposureTime(uint32_t time) override;
  // Frame length in lines: operation 1 reads it; operation 0 sets it (at
  // least the window's own frame length) and re-applies the exposure.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override {
    return AccessFrameParameter(operation, parameter);
  }

  // The line length over 75.25 MHz, in units of 0.1 ms.
  double LineTime() const override;

 protected:
  CPregiusSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver);
};

// 2448 x 2048, 8-bit data at start; model number 59, or 113 for the second product.
class CSensorIMX250 final : public CPregiusSensor {
 public:
  CSensorIMX250(CControllerBase* controller, uint8_t busAddress);
};

// 2048 x 1536; model number 56.
class CSensorIMX252 final : public CPregiusSensor {
 public:
  CSensorIMX252(CControllerBase* controller, uint8_t busAddress);
};

// 2448 x 2048; model number 57.
class CSensorIMX264 final : public CPregiusSensor {
 public:
  CSensorIMX264(CControllerBase* controller, uint8_t busAddress);
};

// 2048 x 1536; model number 58.
class CSensorIMX265 final : public CPregiusSensor {
 public:
  CSensorIMX265(CControllerBase* controller, uint8_t busAddress);
};

}  // namespace vexcam
