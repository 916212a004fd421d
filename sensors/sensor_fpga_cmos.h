#pragma once
// Drivers of the cameras whose sensor is run entirely by the FPGA: the
// "sensor registers" are FPGA registers (8-bit address and value), the
// window origin, exposure counter, gain and frame period sit behind them.
// CFpgaRegisterSensor is shared by the 320 x 256 and 640 x 512 cameras
// (ZA02, ZA03), the line-scan cameras and the cooled G1467x camera.

#include <cstdint>

#include "sensors/fpga_register.h"
#include "sensors/record_time_sensor.h"

namespace vexcam {

class CFpgaRegisterSensor : public CRecordTimeSensor {
 public:
  // FPGA registers of the family (low byte first where a value spans several).
  static constexpr uint8_t kRegWindowX = 96;     // 96/97
  static constexpr uint8_t kRegWindowY = 98;     // 98/99
  static constexpr uint8_t kRegExposure0 = 133;  // exposure counter bits 0-7
  static constexpr uint8_t kRegExposure1 = 134;  // bits 8-15
  static constexpr uint8_t kRegExposure2 = 155;  // bits 16-23
  static constexpr uint8_t kRegGain = 140;
  static constexpr uint8_t kRegFramePeriod = 145;  // 145..147: pixel clocks per frame
  static constexpr uint8_t kRegSensorControl = 100;

  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  // Rejected outside the exposure record.
  uint32_t SetExposureLines(uint32_t lines) override;
  // Rejected above the gain record.
  uint32_t SetGlobalGain(uint32_t gain) override;
  // Clamped into the exposure-time record, then converted by LinesOfTime.
  uint32_t SetExposureTime(uint32_t time) override;
  // The frame rate in tenths of frames per second: operation 0 sets it (the
  // FPGA frame period follows), 1 reads the stored rate back.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;

  // The counter value for an exposure time (0.1 ms units, inside the record).
  virtual uint32_t LinesOfTime(uint32_t time) const;

 protected:
  // No mirror in the readout: the state is kept for the image pipeline.
  uint32_t ApplyMirrors(uint32_t v, uint32_t h) override;

  CFpgaRegisterSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver);

  // The start-up program, then the record defaults and the given area.
  uint32_t StartUp(uint32_t width, uint32_t height);
  // Writes a value low byte first into consecutive registers of the list.
  uint32_t WriteWide(const uint8_t* registers, uint32_t count, uint32_t value);

  uint32_t frame_rate_ = 0;  // tenths of frames per second; 0 = free running

 private:
  // Register accesses go to the FPGA; addresses and values above 8 bits are refused.
  FpgaRegisterChannel channel_;
};

// 320 x 256 camera.
class CSensorZA02 final : public CFpgaRegisterSensor {
 public:
  CSensorZA02(CControllerBase* controller, uint8_t busAddress);
  uint32_t InitSensor() override;
  uint32_t IsSubSampleSupported() override { return 0; }
};

// 640 x 512 camera with an exposure in seconds as well.
class CSensorZA03 final : public CFpgaRegisterSensor {
 public:
  CSensorZA03(CControllerBase* controller, uint8_t busAddress);
  uint32_t InitSensor() override;
  // Clamped into the seconds record; programs the counter from the real time.
  uint32_t SetExposureTimeEx(double seconds) override;
  uint32_t IsSubSampleSupported() override { return 0; }
};

}  // namespace vexcam
