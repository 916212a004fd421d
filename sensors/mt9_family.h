#pragma once
// The shared structure of the 16-bit register CMOS sensors (MT9F001,
// MT9F002, MT9J001, MT9P001): 16-bit addresses and 16-bit values on the
// serial bus, the same gain, exposure, read-mode and reset-control
// registers, and one window program whose timing each sensor supplies.

#include <cstdint>
#include <span>

#include "sensors/read_mode_register.h"
#include "sensors/serial_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

// Timing and placement of one sensor's window program. Window modes: 0 full
// resolution, 1 2 x 2, 2 4 x 4.
struct Mt9WindowTiming {
  uint32_t columnStart = 0;        // sensor column of array column 0
  uint32_t rowStart = 0;           // sensor row of array row 0
  uint32_t lineBlanking = 0;       // pixel clocks added to each output line
  uint32_t frameBlanking = 0;      // lines added to each output frame
  uint32_t minLineLength[3] = {};  // per window mode
  uint16_t fineIntegration = 0;    // fine integration time of the window
};

class CMt9FamilySensor : public CTableDrivenSensor {
 public:
  // Sensor registers of the family.
  static constexpr uint16_t kRegChipVersion = 0x0000;
  static constexpr uint16_t kRegModeSelect = 0x0100;
  static constexpr uint16_t kRegGroupHold = 0x0104;
  static constexpr uint16_t kRegFrameLength = 0x0340;
  static constexpr uint16_t kRegLineLength = 0x0342;
  static constexpr uint16_t kRegXStart = 0x0344;
  static constexpr uint16_t kRegYStart = 0x0346;
  static constexpr uint16_t kRegXEnd = 0x0348;
  static constexpr uint16_t kRegYEnd = 0x034A;
  static constexpr uint16_t kRegOutputWidth = 0x034C;
  static constexpr uint16_t kRegOutputHeight = 0x034E;
  static constexpr uint16_t kRegCoarseIntegration = 0x3012;
  static constexpr uint16_t kRegFineIntegration = 0x3014;
  static constexpr uint16_t kRegResetControl = 0x301A;
  static constexpr uint16_t kRegReadMode = 0x3040;
  static constexpr uint16_t kRegGlobalGain = 0x305E;
  static constexpr uint16_t kRegGainRed = 0x305A;
  static constexpr uint16_t kRegGainGreen1 = 0x3056;
  static constexpr uint16_t kRegGainGreen2 = 0x305C;
  static constexpr uint16_t kRegGainBlue = 0x3058;
  // Reset control: streaming with the serial interface enabled, and the same
  // with the stream bit cleared (standby).
  static constexpr uint16_t kResetStreaming = 0x10DC;
  static constexpr uint16_t kResetStandby = 0x10D8;
  // Read mode at power-on: no skipping.
  static constexpr uint32_t kInitialReadMode = 0x41;

  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t mode) override;
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetColorGainRed(uint32_t gain) override;
  uint32_t SetColorGainGreen1(uint32_t gain) override;
  uint32_t SetColorGainGreen2(uint32_t gain) override;
  uint32_t SetColorGainBlue(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;

  // The last value written to the read-mode register.
  uint32_t ReadModeShadow() const { return read_mode_.Value(); }
  const Mt9WindowTiming& Timing() const { return timing_; }

 protected:
  // The mirrors are recorded only; a sensor that flips its readout overrides
  // SetMirrorV / SetMirrorH.
  uint32_t ApplyMirrors(uint32_t v, uint32_t h) override;

  CMt9FamilySensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                   const Mt9WindowTiming& timing);

  // Register 0 answers: non-zero when expected is 0, else exactly expected.
  // A failed read counts as 0.
  uint32_t CheckChipVersion(uint32_t expected);
  // The start-up list, then the record defaults: global gain, exposure time
  // (where the line time is known before the window), mirrors and the
  // effective area in the mode of the second further word. Stops at the
  // first failure so that a dead bus fails the open.
  uint32_t StartUp(std::span<const ProgramStep> list);
  SensorChannel& Channel() { return sensor_register_; }
  ReadModeRegister& ReadMode() { return read_mode_; }

 private:
  uint32_t SetColorGain(RangeRecord& record, uint16_t reg, uint32_t gain);

  SerialRegister16 sensor_register_;
  ReadModeRegister read_mode_;
  const Mt9WindowTiming timing_;
};

}  // namespace vexcam
