#pragma once
// Drivers of the line-scan cameras: one sensor line, images assembled by the
// FPGA from up to 32768 lines (the array height). The exposure counter runs
// in units of 0.1 ms, so the exposure time and the exposure lines are the
// same number. Start-up selects a 64-line image.

#include <cstdint>

#include "sensors/sensor_fpga_cmos.h"

namespace vexcam {

class CLineScanSensor : public CFpgaRegisterSensor {
 public:
  // Lines per image after InitSensor.
  static constexpr uint32_t kInitialLines = 64;

  uint32_t InitSensor() override;
  uint32_t LinesOfTime(uint32_t time) const override { return time; }
  // One exposure line per 0.1 ms.
  double LineTime() const override { return 1.0; }

 protected:
  using CFpgaRegisterSensor::CFpgaRegisterSensor;
};

class CSensorZA10 final : public CLineScanSensor {
 public:
  CSensorZA10(CControllerBase* controller, uint8_t busAddress);
};

class CSensorZA11 final : public CLineScanSensor {
 public:
  CSensorZA11(CControllerBase* controller, uint8_t busAddress);
  uint32_t IsSubSampleSupported() override { return 0; }
};

// The one line-scan camera with an external line trigger.
class CSensorZA12 final : public CLineScanSensor {
 public:
  static constexpr uint8_t kRegTrigger = 88;  // bit 0: one image per trigger

  CSensorZA12(CControllerBase* controller, uint8_t busAddress);
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t IsSubSampleSupported() override { return 0; }
};

class CSensorZA13 final : public CLineScanSensor {
 public:
  CSensorZA13(CControllerBase* controller, uint8_t busAddress);
};

}  // namespace vexcam
