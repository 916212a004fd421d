#pragma once
// Driver of the 1600 x 1200 CCD camera. Its timing-generator chip is reached
// through controller words and, unlike the other CCD cameras, answers reads
// (ReadControllerWord), so there is no shadow. The exposure counter and the
// mirror sit in FPGA registers; the camera always reads out the full image.

#include <cstdint>

#include "sensors/fpga_register.h"
#include "sensors/table_driven_sensor.h"
#include "sensors/timing_chip_channel.h"

namespace vexcam {

class CSensorICX274 final : public CTableDrivenSensor {
 public:
  CSensorICX274(CControllerBase* controller, uint8_t busAddress);

  // Programs the record defaults (gain, exposure, mirrors).
  uint32_t InitSensor() override;
  // The full image whatever is asked: accepted, nothing changes.
  uint32_t SetCaptureArea(uint32_t /*x*/, uint32_t /*width*/, uint32_t /*y*/, uint32_t /*height*/,
                          uint32_t /*areaFlag*/) override {
    return 1;
  }
  // The camera device model switches the FPGA trigger; the mode is kept here.
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  // Clamped into the record; FPGA 226 (bits 0-7) and 227 (bits 8-15).
  uint32_t SetExposureLines(uint32_t lines) override;
  // Timing-chip gain word; gains outside the record fail.
  uint32_t SetGlobalGain(uint32_t gain) override;
  // Clamped into the record, converted with the line time.
  uint32_t SetExposureTime(uint32_t time) override;
  // FPGA 63 bit 1 (vertical) and bit 0 (horizontal), one read-modify-write each.
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  // Operation 1 reads the frame length; operation 0 is accepted and changes
  // nothing (the chip's frame is fixed).
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;

 private:
  TimingChipChannel chip_;
  FpgaRegisters<2> exposure_counter_;
  FpgaRegister mirror_;
  uint32_t trigger_mode_ = 0;
};

}  // namespace vexcam
