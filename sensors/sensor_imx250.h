#pragma once
// Drivers of the global-shutter cameras whose exposure is the frame length
// (sensor registers 528..530) minus the shutter start (653..655): 2448 x 2048
// and 2048 x 1536 arrays, 8-bit or 16-bit data, a 2 x 2 mode. The window and
// exposure arithmetic is pregius_exposure.h; this class executes its plans
// through the Sony channel (verified writes wait for the FPGA busy flag).

#include <cstdint>

#include "sensors/sony_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

class CPregiusSensor : public CTableDrivenSensor {
 public:
  uint32_t CheckSensor() override { return 1; }
  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  // 1: external trigger (sensor trigger mode and FPGA trigger gate); else free run.
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override;
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  // Frame length in lines: operation 1 reads it; operation 0 sets it (at
  // least the window's own frame length) and re-applies the exposure.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegister(uint32_t address, uint32_t* value) override;
  uint32_t WriteSensorRegisterVerified(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegisterRetry(uint32_t address, uint32_t* value) override;

  // The line length over 75.25 MHz, in units of 0.1 ms.
  double LineTime() const override;

 protected:
  CPregiusSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver);

 private:
  uint32_t WriteMirror(uint32_t mirrorV, uint32_t mirrorH);

  SonyRegister channel_;  // holds the register lock
  uint32_t trigger_mode_ = 0;
  uint32_t window_frame_ = 0;  // frame length of the programmed window
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
