#pragma once
// The base of every real driver: the constants row fills the information
// record, and the getters that only read the record are answered here, so a
// driver overrides just what its camera really does (programming the
// hardware, converting units).

#include <cstdint>
#include <span>

#include "sensors/sensor_base.h"
#include "sensors/sensor_channel.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

// One step of a register program run by RunProgram.
struct ProgramStep {
  enum class Kind : uint8_t {
    kWrite,   // address = value
    kWaitMs,  // wait value milliseconds
    kRead,    // read address, value ignored (a read the sensor needs)
    kBlock,   // words[i] to address + 2 i
    kFill,    // value to count words from address on, 2 apart
  };
  Kind kind = Kind::kWrite;
  uint16_t address = 0;
  uint16_t value = 0;
  std::span<const uint16_t> words = {};
  uint16_t count = 0;
};

constexpr ProgramStep WriteStep(uint16_t address, uint16_t value) {
  return {.kind = ProgramStep::Kind::kWrite, .address = address, .value = value};
}
constexpr ProgramStep WaitStep(uint16_t ms) {
  return {.kind = ProgramStep::Kind::kWaitMs, .value = ms};
}
constexpr ProgramStep ReadStep(uint16_t address) {
  return {.kind = ProgramStep::Kind::kRead, .address = address};
}
constexpr ProgramStep BlockStep(uint16_t address, std::span<const uint16_t> words) {
  return {.kind = ProgramStep::Kind::kBlock, .address = address, .words = words};
}
constexpr ProgramStep FillStep(uint16_t address, uint16_t value, uint16_t count) {
  return {.kind = ProgramStep::Kind::kFill, .address = address, .value = value, .count = count};
}

class CTableDrivenSensor : public CSensorBase {
 public:
  CTableDrivenSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver);

  const SensorConstants& Row() const { return row_; }

  // A camera whose sensor has no identity to read back is there once its
  // product answered; a driver with an identity check overrides this.
  uint32_t CheckSensor() override { return 1; }

  uint32_t GetCaptureArea(uint32_t* x, uint32_t* width, uint32_t* y, uint32_t* height,
                          uint32_t* areaFlag) override;
  uint32_t GetExposureLines(uint32_t* lines) override;
  uint32_t GetExposureLinesMin(uint32_t* lines) override;
  uint32_t GetExposureLinesMax(uint32_t* lines) override;
  uint32_t GetExposureLinesDefault(uint32_t* lines) override;
  uint32_t GetGlobalGain(uint32_t* gain) override;
  uint32_t GetGlobalGainMin(uint32_t* gain) override;
  uint32_t GetGlobalGainMax(uint32_t* gain) override;
  uint32_t GetGlobalGainDefault(uint32_t* gain) override;
  // The current colour gains answer only where the record marks them supported.
  uint32_t GetColorGainRed(uint32_t* gain) override;
  uint32_t GetColorGainGreen1(uint32_t* gain) override;
  uint32_t GetColorGainGreen2(uint32_t* gain) override;
  uint32_t GetColorGainBlue(uint32_t* gain) override;
  uint32_t GetColorGainMin(uint32_t* gain) override;
  uint32_t GetColorGainMax(uint32_t* gain) override;
  uint32_t GetColorGainDefault(uint32_t* gain) override;
  uint32_t GetExposureTime(uint32_t* time) override;
  // The line limits converted with LineTime, at least 1.
  uint32_t GetExposureTimeMin(uint32_t* time) override;
  uint32_t GetExposureTimeMax(uint32_t* time) override;
  uint32_t GetExposureTimeDefault(uint32_t* time) override;
  uint32_t GetMirrorV(uint32_t* on) override;
  uint32_t GetMirrorH(uint32_t* on) override;
  // Both go to ApplyMirrors with the other mirror's current state.
  uint32_t SetMirrorV(uint32_t on) override;
  uint32_t SetMirrorH(uint32_t on) override;

  // Plain register accesses through the channel UseChannel named; 0 without one.
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegister(uint32_t address, uint32_t* value) override;

  // Line time in units of 0.1 ms: pixel clocks per line over the pixel clock.
  virtual double LineTime() const;

 protected:
  // The channel WriteSensorRegister / ReadSensorRegister use: a member of the
  // driver, so it lives as long as the driver.
  void UseChannel(SensorChannel& channel) { channel_ = &channel; }

  // Programs both mirrors and stores them in the record; 0 where the camera
  // has no mirror (the default).
  virtual uint32_t ApplyMirrors(uint32_t /*mirrorV*/, uint32_t /*mirrorH*/) { return 0; }

  // Stores the capture area in the record without touching the camera (the
  // cameras whose FPGA or head frames the image); 1.
  uint32_t StoreCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                            uint32_t areaFlag);
  // The mode flags as the trigger mode; 0 for a null pointer.
  uint32_t ReportModeFlags(uint32_t* mode) const;
  // The frame-length parameter of AccessSensorParameter: operation 1 reads
  // the record's frame length; operation 0 sets it (refused above limit, at
  // least windowFrame) and re-applies the current exposure lines, keeping
  // the old length when that fails. Other operations and null fail.
  uint32_t AccessFrameLength(uint32_t operation, uint32_t* parameter, uint32_t limit,
                             uint32_t windowFrame);

  // Runs a register program through WriteSensorRegister / ReadSensorRegister;
  // stops with 0 at the first failed access.
  uint32_t RunProgram(std::span<const ProgramStep> program);

 private:
  const SensorConstants& row_;
  SensorChannel* channel_ = nullptr;
};

}  // namespace vexcam
