#pragma once
// Driver of the 4608 x 3288 colour CMOS sensor with 16-bit registers on the
// serial bus; also the driver of every product id the factory does not know.

#include <cstdint>

#include "sensors/serial_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

class CSensorMT9F001 : public CTableDrivenSensor {
 public:
  // Sensor registers named by the driver.
  static constexpr uint16_t kRegChipVersion = 0x0000;
  static constexpr uint16_t kRegCoarseIntegration = 0x3012;
  static constexpr uint16_t kRegGlobalGain = 0x305E;
  static constexpr uint16_t kRegGainRed = 0x305A;
  static constexpr uint16_t kRegGainGreen1 = 0x3056;
  static constexpr uint16_t kRegGainGreen2 = 0x305C;
  static constexpr uint16_t kRegGainBlue = 0x3058;
  static constexpr uint16_t kRegReadMode = 0x3040;
  // Sequencer program: 226 words from 0x3D00 to 0x3EC2.
  static constexpr uint16_t kSequencerBase = 0x3D00;
  static constexpr uint32_t kSequencerWords = 226;
  // The first active column sits 24 columns into the array.
  static constexpr uint32_t kColumnStart = 24;

  CSensorMT9F001(CControllerBase* controller, uint8_t busAddress);

  uint32_t CheckSensor() override;
  uint32_t InitSensor() override;
  // mode (the area flag): 0 full resolution, 1 2 x 2, 2 4 x 4.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t mode) override;
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetColorGainRed(uint32_t gain) override;
  uint32_t SetColorGainGreen1(uint32_t gain) override;
  uint32_t SetColorGainGreen2(uint32_t gain) override;
  uint32_t SetColorGainBlue(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegister(uint32_t address, uint32_t* value) override;

  // The last value written to the read-mode register.
  uint32_t ReadModeShadow() const { return read_mode_; }
  // Word i of the sequencer program.
  static uint16_t SequencerWord(uint32_t index);

 private:
  uint32_t SetColorGain(RangeRecord& record, uint16_t reg, uint32_t gain);

  SerialRegister16 sensor_register_;
  uint32_t read_mode_ = 0x41;
};

}  // namespace vexcam
