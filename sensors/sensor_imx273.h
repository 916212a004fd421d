#pragma once
// Drivers of the later global-shutter cameras (1440 x 1080 and 2848 x 2848):
// the same Sony channel as the 2448 x 2048 group, with 24-bit frame and
// shutter registers latched together under the register hold, a gain and a
// conversion-gain switch (the analog gain), and an exposure in seconds.
// Area flag non-zero selects the sensor's 2 x 2 readout (halved output).

#include <cstdint>

#include "sensors/fpga_register.h"
#include "sensors/sony_sensor.h"

namespace vexcam {

// What differs between the members.
struct GlobalShutterTiming {
  uint32_t blankingLines = 0;  // frame length = output rows + this
  uint8_t reducedMode = 0;     // readout-mode value of the 2 x 2 readout
};

class CGlobalShutterSensor : public CSonySensor {
 public:
  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataWidth(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override { return WriteHeldExposure(lines); }
  // 0: low conversion gain, 1: high.
  uint32_t SetAnalogGain(uint32_t value) override;
  uint32_t SetExposureTime(uint32_t time) override;
  // Frame length in lines: operation 1 reads it; operation 0 sets it (at
  // least the window's own frame length) and re-applies the exposure.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override {
    return AccessFrameParameter(operation, parameter);
  }
  uint32_t SetExposureTimeEx(double seconds) override;

 protected:
  CGlobalShutterSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                       const GlobalShutterTiming& timing);

 private:
  const GlobalShutterTiming& timing_;
};

// The members whose trigger sits in FPGA register 88 (1 external, 0 free run).
class CFpgaTriggerShutterSensor : public CGlobalShutterSensor {
 public:
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override { return trigger_.Read(mode); }

 protected:
  CFpgaTriggerShutterSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                            const GlobalShutterTiming& timing);

 private:
  FpgaRegister trigger_;
};

// 1440 x 1080; model number 128. Reports no binning capability.
class CSensorIMX273 final : public CGlobalShutterSensor {
 public:
  CSensorIMX273(CControllerBase* controller, uint8_t busAddress);
  uint32_t IsBinningSupported() override { return 0; }
};

// 2848 x 2848; model number 63. Reports no sub-sample capability.
class CSensorIMX487 final : public CGlobalShutterSensor {
 public:
  CSensorIMX487(CControllerBase* controller, uint8_t busAddress);
  uint32_t IsSubSampleSupported() override { return 0; }
};

// 2848 x 2848; model number 62.
class CSensorIMX536 final : public CGlobalShutterSensor {
 public:
  CSensorIMX536(CControllerBase* controller, uint8_t busAddress);
};

}  // namespace vexcam
