#pragma once
// The base of the drivers on the Sony channel (sensors/sony_register.h): the
// channel itself, and the controls whose logic the groups share while their
// register addresses differ: standby and sequencer, mirrors, gain, data
// width, the trigger input gated by the FPGA, the exposure as frame length
// minus shutter start, and the frame-length parameter. A group passes its
// register addresses and write kind as SonyControls.

#include <array>
#include <cstdint>
#include <span>

#include "sensors/sony_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

// Byte index (0: lowest) of a register value spread over several addresses.
constexpr uint32_t RegisterByte(uint32_t value, uint32_t index) {
  return (value >> (8 * index)) & 0xFF;
}

// What a group passes its base: the addresses of the shared controls (0:
// the group has none or programs it itself), the write kind and the rules
// that differ.
struct SonyControls {
  SonyRegister::Options channel = {};
  uint16_t standby = 0;           // 1: standby, 0: operating
  uint16_t master = 0;            // 1: sequencer stopped, 0: running
  uint16_t hold = 0;              // 1: later writes wait for the frame end
  uint16_t mirror = 0;            // bit 0 vertical, bit 1 horizontal
  uint16_t gain = 0;              // gain in 0.1 dB, bits 0-7; bits 8 up at the next address
  uint8_t gainHighMask = 0xFF;    // the bits of the upper gain byte the sensor takes
  uint16_t depth = 0;             // 1: 12-bit conversion or output, 0: the narrower one
  uint16_t trigger = 0;           // 1: exposure on the trigger input, 0: free run
  uint16_t frame = 0;             // frame length, 24 bits, low byte first (under the hold)
  uint16_t shutter = 0;           // shutter start, 24 bits, low byte first (under the hold)
  uint16_t readout = 0;           // readout mode: 0 all pixels, else the 2 x 2 readout
  uint16_t window = 0;            // x, y, width, height from here, 4 apart: low byte, high byte
  uint16_t line = 0;              // line length, 16 bits, low byte first
  uint32_t shutterMargin = 0;     // lines between shutter start and frame end, at least
  uint32_t frameLengthLimit = 0;  // longest frame length the parameter may set
  bool verified = false;          // writes wait for the FPGA bus flag; the verified accesses answer
  bool anyFlagBins = false;       // every non-zero area flag halves the output (else flag 1 only)
  bool restoreDepth = false;      // a failed data-width change writes the previous width back
};

// The two register maps. From 512 up, with the exposure as frame length
// (528..530) minus shutter start (653..655), the shutter start 12 bits wide:
inline constexpr SonyControls kSonyMap512 = {.standby = 512,
                                             .master = 514,
                                             .mirror = 526,
                                             .gain = 516,
                                             .gainHighMask = 1,
                                             .depth = 520,  // 0: 8-bit output, 1: 12-bit
                                             .trigger = 523,
                                             .frameLengthLimit = 0xFFF};
// From 0x3000 up, with frame and shutter 24 bits wide under the hold; where
// mirror, gain, depth and trigger sit differs between its groups.
inline constexpr SonyControls kSonyMap3000 = {.standby = 0x3000,
                                              .master = 0x3002,
                                              .hold = 0x3008,
                                              .frame = 0x3050,
                                              .shutter = 0x3058,
                                              .readout = 0x3020,
                                              .window = 0x3040,
                                              .line = 0x3054,
                                              .shutterMargin = 8,
                                              .frameLengthLimit = 0xFFFFFF};

class CSonySensor : public CTableDrivenSensor {
 public:
  // Refused outside the gain record.
  uint32_t SetGlobalGain(uint32_t gain) override;
  // Through the busy-flag loop; 0 where the controls have no verified writes.
  uint32_t WriteSensorRegisterVerified(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegisterRetry(uint32_t address, uint32_t* value) override;

 protected:
  CSonySensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
              const SonyControls& controls);

  // One write of the mirror register; both stored as 0 or 1.
  uint32_t ApplyMirrors(uint32_t mirrorV, uint32_t mirrorH) override;

  // A write as the controls say: verified or plain.
  uint32_t WriteControl(uint32_t address, uint32_t value);
  // Writes between hold on and off; the hold is released on failure too.
  uint32_t WriteHeld(std::span<const std::array<uint32_t, 2>> writes);
  // Standby with the sequencer stopped, so that the settings take effect together.
  uint32_t EnterStandby();
  // The record defaults: gain, mirrors, the effective window, the exposure time.
  uint32_t ApplyRecordDefaults();
  // Free run stored, the record defaults, then out of standby.
  uint32_t StartWithDefaults();
  // Out of standby; after the regulators settle the sequencer starts, once
  // the FPGA reports the bus free.
  uint32_t LeaveStandby();
  // Stores a programmed window and its frame length, pulses the update
  // strobe and re-applies the exposure lines, which brings the window's
  // frame length to the frame registers.
  uint32_t CommitWindow(uint32_t x, uint32_t width, uint32_t y, uint32_t height, uint32_t areaFlag,
                        uint32_t frame);

  // Under the hold: the readout mode, then the window (full resolution) and,
  // withLine, the record's line length.
  uint32_t WriteHeldWindow(uint32_t readoutMode, uint32_t x, uint32_t y, uint32_t width,
                           uint32_t height, bool withLine);

  struct FrameShutter {
    uint32_t frame = 0;
    uint32_t shutter = 0;
  };
  // The frame keeps its length while lines fit with the margin; else it grows.
  FrameShutter FrameOfLines(uint32_t lines) const;
  // The exposure lines, clamped to the record, as frame and shutter under the hold.
  uint32_t WriteHeldExposure(uint32_t lines);
  // A ratio of exposure to line time as lines: at least 1, at most the maximum.
  uint32_t LinesOfRatio(double exact) const;
  uint32_t LinesOf(double tenthsMs) const { return LinesOfRatio(tenthsMs / LineTime()); }

  // 1: external trigger (sensor trigger input and the FPGA trigger gate); else free run.
  uint32_t ApplyGatedTrigger(uint32_t mode);
  uint32_t ReportTrigger(uint32_t* mode) const;
  // The frame-length parameter, at least the window's own frame length.
  uint32_t AccessFrameParameter(uint32_t operation, uint32_t* parameter) {
    return AccessFrameLength(operation, parameter, controls_.frameLengthLimit, window_frame_);
  }
  // 16 bits per pixel for a non-zero flag, else 8; the current area is
  // programmed again. The previous width stays on failure.
  uint32_t ApplyDataWidth(uint32_t sixteenBit);

  SonyRegister sony_;  // holds the register lock
  uint32_t trigger_mode_ = 0;

 private:
  const SonyControls controls_;
  uint32_t window_frame_ = 0;  // frame length of the programmed window
};

}  // namespace vexcam
