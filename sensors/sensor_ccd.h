#pragma once
// Drivers of the interline CCD cameras. The sensor is clocked by two timing
// generator chips reached through controller words (no serial sensor bus);
// the exposure counter, the channel gains and offsets of the analog front
// end and the mirror sit in FPGA registers. The chips cannot be read back,
// so register reads are answered from the shadow of what was written (the
// timing-chip channel is the driver's register channel).
//
// The window is always the full image: SetCaptureArea accepts anything and
// changes nothing. The three cameras differ only in their constants row and
// their CcdModel (exposure line time and power-up program).

#include <cstdint>

#include "sensors/ccd_front_end.h"
#include "sensors/ccd_programs.h"
#include "sensors/fpga_register.h"
#include "sensors/table_driven_sensor.h"
#include "sensors/timing_chip_channel.h"

namespace vexcam {

class CCcdSensor : public CTableDrivenSensor {
 public:
  CCcdSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
             const CcdModel& model);

  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t /*x*/, uint32_t /*width*/, uint32_t /*y*/, uint32_t /*height*/,
                          uint32_t /*areaFlag*/) override {
    return 1;
  }
  uint32_t SetTriggerMode(uint32_t /*mode*/) override { return 1; }
  // Writes the mode flags and reports 0: the camera has no trigger register.
  uint32_t GetTriggerMode(uint32_t* mode) override;
  // FPGA 226 (bits 0-7) and 227 (bits 8-15); lines outside the record fail.
  uint32_t SetExposureLines(uint32_t lines) override;
  // Both chips get gain & 0x3FF, which is also what is stored.
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetChannelGain(uint32_t channel, uint32_t value) override;
  uint32_t GetChannelGain(uint32_t channel, uint32_t* value) override;
  uint32_t GetChannelGainMin(uint32_t* value) override;
  uint32_t GetChannelGainMax(uint32_t* value) override;
  uint32_t GetChannelGainDefault(uint32_t* value) override;
  uint32_t SetChannelOffset(uint32_t channel, uint32_t value) override;
  uint32_t GetChannelOffset(uint32_t channel, uint32_t* value) override;
  uint32_t GetChannelOffsetMin(uint32_t* value) override;
  uint32_t GetChannelOffsetMax(uint32_t* value) override;
  uint32_t GetChannelOffsetDefault(uint32_t* value) override;
  // FPGA 162/163 take the value, both chips value & 0x3FF (stored).
  uint32_t SetAnalogGain(uint32_t value) override;
  // The record fields; 1 even where the record is not marked supported.
  uint32_t GetAnalogGain(uint32_t* value) override;
  uint32_t GetAnalogGainMin(uint32_t* value) override;
  uint32_t GetAnalogGainMax(uint32_t* value) override;
  uint32_t GetAnalogGainDefault(uint32_t* value) override;
  // The inverse shutter: the counter runs from the shutter pulse to the end
  // of the frame, so a longer exposure is fewer lines.
  uint32_t SetExposureTime(uint32_t time) override;
  // FPGA 63 bit 1 (vertical) and bit 0 (horizontal).
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;
  uint32_t AccessSensorParameter(uint32_t /*operation*/, uint32_t* /*parameter*/) override {
    return 1;
  }
  double LineTime() const override;

 private:
  uint32_t RunChipProgram(std::span<const ChipStep> program);
  // value to chip 1 (address | 0x8000), then chip 0.
  uint32_t WriteBothChips(uint32_t address, uint32_t value);

  const CcdModel& model_;
  TimingChipChannel chips_;
  CcdFrontEnd front_end_;
  FpgaRegisters<2> exposure_counter_;
  FpgaRegisters<2> analog_gain_;
  FpgaRegister mirror_;
};

// One CCD camera: its constants row and its CcdModel.
template <SensorDriver Driver, const CcdModel& Model>
class CCcdCamera final : public CCcdSensor {
 public:
  CCcdCamera(CControllerBase* controller, uint8_t busAddress)
      : CCcdSensor(controller, busAddress, Driver, Model) {}
};

using CSensorZA06 = CCcdCamera<SensorDriver::kZA06, kCcdZA06>;
using CSensorZA07 = CCcdCamera<SensorDriver::kZA07, kCcdZA07>;
using CSensorZA08 = CCcdCamera<SensorDriver::kZA08, kCcdZA08>;

}  // namespace vexcam
