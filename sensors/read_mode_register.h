#pragma once
// Registers of the 16-bit serial CMOS sensors that drivers change by single
// words: the read-mode register, whose last written value the driver keeps so
// that one mirror bit changes with one write and no read back; the
// reset-control register, whose word arms the trigger input or lets the
// sensor stream; and values the record bounds, such as the coarse
// integration time in lines.

#include <cstdint>

#include "sensors/sensor_base.h"
#include "sensors/sensor_channel.h"

namespace vexcam {

class ReadModeRegister {
 public:
  // channel is the driver's member and outlives this register.
  ReadModeRegister(SensorChannel& channel, uint16_t address, uint32_t value)
      : channel_(channel), address_(address), value_(value) {}

  uint32_t Value() const { return value_; }
  // A value the sensor holds already (a start-up program wrote it).
  void Assume(uint32_t value) { value_ = value; }
  // Writes value; the kept value follows a successful write.
  uint32_t Write(uint32_t value);
  // Writes the kept value with bit set (on != 0) or cleared; on success the
  // mirror record follows.
  uint32_t WriteMirrorBit(uint32_t bit, uint32_t on, MirrorRecord& record);

 private:
  SensorChannel& channel_;
  const uint16_t address_;
  uint32_t value_;
};

// Writes value to address when it lies inside record, which then holds it;
// 0 (nothing written) outside the record or when the write fails.
uint32_t WriteInsideRecord(SensorChannel& channel, uint16_t address, RangeRecord& record,
                           uint32_t value);

// The reset-control words of a sensor with a trigger input.
struct ResetControlWords {
  uint16_t address = 0;
  uint16_t streaming = 0;  // free-running frames
  uint16_t triggered = 0;  // one frame per trigger pulse
};

class ResetControlTrigger {
 public:
  // channel is the driver's member and outlives this trigger.
  ResetControlTrigger(SensorChannel& channel, const ResetControlWords& words)
      : channel_(channel), words_(words) {}

  // Writes the triggered word for a non-zero mode, the streaming word for 0;
  // the mode is kept on success.
  uint32_t Set(uint32_t mode);
  // The kept mode; 0 for a null pointer.
  uint32_t Get(uint32_t* mode) const;
  uint32_t Mode() const { return mode_; }
  // Writes the triggered word again (after a program that restarted streaming).
  uint32_t Rearm() { return channel_.Write(words_.address, words_.triggered); }

 private:
  SensorChannel& channel_;
  const ResetControlWords words_;
  uint32_t mode_ = 0;
};

}  // namespace vexcam
