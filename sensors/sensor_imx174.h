#pragma once
// Drivers of the 1920 x 1200 and 3072 x 2048 cameras: a sensor with 16-bit
// register addresses and 8-bit values on the serial bus, plain writes only.
// The exposure is the frame length (registers 528..530) minus the shutter
// start (653..655); the window is counted from the far corner of the array.
// The camera gates triggered frames with FPGA register 48 itself; the driver
// switches the sensor's trigger input. Neither camera bins.

#include <cstdint>

#include "sensors/sony_sensor.h"

namespace vexcam {

// What differs between the two cameras.
struct SerialShutterTiming {
  uint32_t blankingLines = 0;  // frame length = window height + this
  bool sensorDepth = false;    // the sensor switches its own output width (else the FPGA packs)
};

class CSerialShutterSensor : public CSonySensor {
 public:
  uint32_t InitSensor() override;
  // x and y aligned up to a multiple of 4, the width down to a multiple of 16,
  // the height down to a multiple of 4; the area flag is only stored.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  // Non-zero: the sensor exposes on the trigger input; 0: free run.
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override { return ReportTrigger(mode); }
  // Clamped to the lines range.
  uint32_t SetExposureLines(uint32_t lines) override;
  // Clamped to the time range, converted with the line time.
  uint32_t SetExposureTime(uint32_t time) override;
  // Frame length in lines: operation 1 reads it; operation 0 sets it (at
  // least the window's own frame length; the 12-bit shutter start must still
  // reach the short exposures) and re-applies the exposure.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override {
    return AccessFrameParameter(operation, parameter);
  }
  uint32_t IsBinningSupported() override { return 0; }

 protected:
  CSerialShutterSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                       const SerialShutterTiming& timing);

 private:
  const SerialShutterTiming& timing_;
};

// 1920 x 1200 at 74.25 MHz; 8-bit or 16-bit data chosen in the sensor.
class CSensorIMX174 : public CSerialShutterSensor {
 public:
  CSensorIMX174(CControllerBase* controller, uint8_t busAddress);
  // The sensor's output width, then the current area again (transfer size).
  uint32_t SetDataBits(uint32_t sixteenBit) override;
};

// 3072 x 2048 at 364 MHz; the FPGA alone chooses the data width.
class CSensorIMX178 : public CSerialShutterSensor {
 public:
  CSensorIMX178(CControllerBase* controller, uint8_t busAddress);
};

}  // namespace vexcam
