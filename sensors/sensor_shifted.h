#pragma once
// Drivers of the cameras whose sensor is loaded with shifted register words
// through the FPGA (ZA16 1920 x 1080, ZA17 5688 x 3336, ZA18 2592 x 2056,
// ZA20 19568 x 12588).
// Each control is one word: a register number and a 56-bit data word. The
// model number comes from the factory (SetModelId).

#include <cstdint>

#include "sensors/record_time_sensor.h"
#include "sensors/shifted_register.h"

namespace vexcam {

// Register numbers of the shifted words.
namespace shifted_reg {
inline constexpr uint8_t kReset = 0;     // data kResetKey: restart the sensor sequencer
inline constexpr uint8_t kStream = 1;    // 1 streaming, 0 standby
inline constexpr uint8_t kExposure = 2;  // microseconds
inline constexpr uint8_t kGain = 3;
inline constexpr uint8_t kTrigger = 4;  // trigger mode value
inline constexpr uint8_t kDepth = 5;    // 1: 12-bit samples on a 16-bit transfer, 0: 8 bits
inline constexpr uint8_t kWindow = 6;   // x, y, width, height, 14 bits each from bit 42 down
inline constexpr uint8_t kTiming = 7;   // line length (bits 16..31), frame length (bits 32..55)
// Arrays wider or taller than 14 bits take the window in two words of two
// 28-bit fields: x and y, then width and height.
inline constexpr uint8_t kWindowOrigin = 8;
inline constexpr uint8_t kWindowSize = 9;
inline constexpr uint64_t kResetKey = 0xA5A5A5;
}  // namespace shifted_reg

// The 56-bit window word: x in bits 42..55, y 28..41, width 14..27, height 0..13.
constexpr uint64_t ShiftedWindowWord(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  constexpr uint64_t kMask = 0x3FFF;
  return (x & kMask) << 42 | (y & kMask) << 28 | (width & kMask) << 14 | (height & kMask);
}

// Two 28-bit fields of one word: a in bits 28..55, b in bits 0..27.
constexpr uint64_t ShiftedPairWord(uint32_t a, uint32_t b) {
  constexpr uint64_t kMask = 0xFFFFFFF;
  return (a & kMask) << 28 | (b & kMask);
}

class CShiftedSensor : public CRecordTimeSensor {
 public:
  CShiftedSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                 bool splitAddress);

  uint32_t InitSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override;
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetExposureTime(uint32_t time) override;
  // ZA16 and ZA17 split the address into register number and data bits
  // 32..55 (SplitShiftedAddress); ZA18 takes the register number from bits
  // 0..7 and the value as the data word.
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override;
  uint32_t SetExposureTimeEx(double seconds) override;

  ShiftedRegisterChannel& Channel() { return channel_; }

 protected:
  uint32_t ProgramMicroseconds(uint64_t microseconds);

 private:
  uint32_t WriteWindow(uint32_t x, uint32_t y, uint32_t width, uint32_t height);

  ShiftedRegisterChannel channel_;
  const bool split_address_;
};

class CSensorZA16 final : public CShiftedSensor {
 public:
  CSensorZA16(CControllerBase* controller, uint8_t busAddress)
      : CShiftedSensor(controller, busAddress, SensorDriver::kZA16, true) {}
};

// The 246-megapixel camera: ZA16's controls, register number and data word
// given apart as on ZA18, the window in two words (19568 is over 14 bits).
class CSensorZA20 final : public CShiftedSensor {
 public:
  CSensorZA20(CControllerBase* controller, uint8_t busAddress)
      : CShiftedSensor(controller, busAddress, SensorDriver::kZA20, false) {}
};

// ZA17 and ZA18 also take a trigger mode.
class CShiftedTriggerSensor : public CShiftedSensor {
 public:
  using CShiftedSensor::CShiftedSensor;
  uint32_t SetTriggerMode(uint32_t mode) override;
};

class CSensorZA17 final : public CShiftedTriggerSensor {
 public:
  CSensorZA17(CControllerBase* controller, uint8_t busAddress)
      : CShiftedTriggerSensor(controller, busAddress, SensorDriver::kZA17, true) {}
};

class CSensorZA18 final : public CShiftedTriggerSensor {
 public:
  CSensorZA18(CControllerBase* controller, uint8_t busAddress)
      : CShiftedTriggerSensor(controller, busAddress, SensorDriver::kZA18, false) {}
};

}  // namespace vexcam
