#pragma once
// Driver of the 1280 x 1024 camera with an 8-bit register sensor on the
// 16-bit-address register channel (verified writes, retrying reads). Its FPGA brings the
// sensor link up on its own; older FPGAs need the sensor reset until the
// link state (FPGA register 33) reads 3.

#include <chrono>
#include <cstdint>

#include "sensors/record_time_sensor.h"
#include "sensors/sony_register.h"

namespace vexcam {

struct GluxProbe {
  std::chrono::milliseconds settle{7000};     // before the reset loop
  std::chrono::milliseconds resetWait{5000};  // after each reset
  uint32_t attempts = 5;
};

class CSensorGLUX9701 final : public CRecordTimeSensor {
 public:
  // FPGA registers.
  static constexpr uint8_t kRegFpgaRevision = 19;  // 9 or later: the link comes up alone
  static constexpr uint8_t kRevisionSelfStart = 9;
  static constexpr uint8_t kRegLinkState = 33;
  static constexpr uint8_t kLinkUp = 3;
  static constexpr uint8_t kRegSensorReset = 34;  // 1 holds the sensor in reset
  static constexpr uint8_t kRegTrigger = 88;
  // Sensor registers.
  static constexpr uint16_t kRegOperation = 0;  // 0 standby, 4 streaming
  static constexpr uint16_t kRegShutterLow = 16;
  static constexpr uint16_t kRegShutterHigh = 17;
  static constexpr uint16_t kRegGain = 24;
  static constexpr uint16_t kRegAnalogGainLow = 26;
  static constexpr uint16_t kRegAnalogGainHigh = 27;  // bits 8-13
  static constexpr uint16_t kRegMirror = 28;          // bit 0 vertical, bit 1 horizontal
  static constexpr uint16_t kRegOutputDepth = 30;     // 0: 8 bits, 1: 12 bits
  static constexpr uint16_t kRegWindowFirst = 32;     // x, y, width, height: low, high each
  static constexpr uint16_t kRegTemperatureLow = 392;
  static constexpr uint16_t kRegTemperatureHigh = 393;
  static constexpr uint32_t kResetPulseMs = 10;

  CSensorGLUX9701(CControllerBase* controller, uint8_t busAddress, GluxProbe probe = {});

  uint32_t CheckSensor() override;
  uint32_t InitSensor() override;
  uint32_t ResetSensor() override;
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  uint32_t SetDataBits(uint32_t sixteenBit) override;
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  uint32_t SetAnalogGain(uint32_t value) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t WriteSensorRegisterVerified(uint32_t address, uint32_t value) override;
  uint32_t ReadSensorRegisterRetry(uint32_t address, uint32_t* value) override;
  uint32_t IsTemperatureSupported() override { return 1; }
  uint32_t GetTemperature(double* celsius) override;
  uint32_t SetExposureTimeEx(double seconds) override;
  uint32_t IsSubSampleSupported() override { return 0; }

 protected:
  uint32_t ApplyMirrors(uint32_t v, uint32_t h) override;

 private:
  uint32_t ReadLinkState(uint32_t* state);

  const GluxProbe probe_;
  SonyRegister channel_;
};

}  // namespace vexcam
