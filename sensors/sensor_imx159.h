#pragma once
// Drivers of the large rolling-shutter cameras on the Sony channel (16-bit
// register address, 8-bit value): a window held as origin and size in the
// sensor's own array coordinates, a frame length (24 bits) and a shutter
// start (24 bits) whose difference is the exposure in lines, both latched
// together under the register hold. Area flag 1 selects the 2 x 2 readout
// (halved output).
//
// CSensorIMX159 and CSensorIMX183 add the trigger input and the frame-length
// parameter; CSensorIMX226 (sensors/sensor_imx226.h) the data width and the
// verified register accesses.

#include <array>
#include <cstdint>
#include <span>

#include "sensors/sony_sensor.h"

namespace vexcam {

// What differs between the members of the group.
struct RollingShutterTiming {
  uint32_t blankingLines = 0;               // line periods per frame beyond the window's rows
  uint32_t rowsPerLine = 1;                 // rows read out in one line period
  bool verifiedWrites = false;              // every write waits for the FPGA bus flag
  bool triggerInput = false;                // the FPGA trigger gate exists (reset at start)
  std::span<const ProgramStep> setup = {};  // the sensor's own start-up registers
};

class CRollingShutterSensor : public CSonySensor {
 public:
  uint32_t InitSensor() override;
  // x and y are aligned down to even, the width down to a multiple of 4 and
  // the height down to even. An area must lie in the array; only where the
  // effective image itself reaches past the array edge may an area reach as
  // far, and it is clipped to the array.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  // Clamped to the lines record.
  uint32_t SetExposureLines(uint32_t lines) override { return WriteHeldExposure(lines); }
  // Clamped to the time record, then converted with the line time.
  uint32_t SetExposureTime(uint32_t time) override;

 protected:
  CRollingShutterSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                        const RollingShutterTiming& timing);

 private:
  const RollingShutterTiming& timing_;
};

// 4800 x 3520 array, 4672 x 3504 effective at (72, 18). Reads the FPGA
// register file once at construction; the FPGA version comes from that copy.
// No vertical mirror.
class CSensorIMX159 final : public CRollingShutterSensor {
 public:
  CSensorIMX159(CControllerBase* controller, uint8_t busAddress);
  ~CSensorIMX159() override;

  uint32_t SetMirrorV(uint32_t /*on*/) override { return 0; }

  uint32_t SetTriggerMode(uint32_t mode) override { return ApplyGatedTrigger(mode); }
  uint32_t GetTriggerMode(uint32_t* mode) override { return ReportTrigger(mode); }
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override {
    return AccessFrameParameter(operation, parameter);
  }

  // FPGA registers 0 to 255 as read at construction; all zero when the
  // controller was missing or a read failed.
  const std::array<uint8_t, 256>& FpgaCache() const { return fpga_cache_; }

 private:
  std::array<uint8_t, 256> fpga_cache_{};
};

// 5520 x 3680.
class CSensorIMX183 final : public CRollingShutterSensor {
 public:
  CSensorIMX183(CControllerBase* controller, uint8_t busAddress);

  uint32_t SetTriggerMode(uint32_t mode) override { return ApplyGatedTrigger(mode); }
  uint32_t GetTriggerMode(uint32_t* mode) override { return ReportTrigger(mode); }
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override {
    return AccessFrameParameter(operation, parameter);
  }
};

}  // namespace vexcam
