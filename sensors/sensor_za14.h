#pragma once
// Driver of the 4096 x 4096 FPGA-run camera (2048 x 2048 effective): the
// command channel of CSensorZA09, a longer module probe followed by the
// FPGA's ready bit, a 14-bit analog gain, eight gain modes and mirrors.

#include <chrono>
#include <cstdint>

#include "sensors/sensor_za09.h"

namespace vexcam {

struct ZA14Probe {
  ModuleProbe module{.attempts = 300,
                     .interval = std::chrono::milliseconds(100),
                     .limit = std::chrono::milliseconds(30000)};
  std::chrono::milliseconds readyInterval{100};
  std::chrono::milliseconds readyLimit{30000};
};

class CSensorZA14 final : public CFpgaCommandSensor {
 public:
  static constexpr uint8_t kRegReady = 187;  // bit 0 once the FPGA runs the sensor
  static constexpr uint8_t kRegAnalogGainLow = 236;
  static constexpr uint8_t kRegAnalogGainHigh = 237;  // bits 8-13
  static constexpr uint8_t kRegGainMode = 238;
  static constexpr uint8_t kRegMirror = 239;  // bit 0 vertical, bit 1 horizontal

  CSensorZA14(CControllerBase* controller, uint8_t busAddress, ZA14Probe probe = {});

  uint32_t CheckSensor() override;
  uint32_t InitSensor() override;
  uint32_t SetExposureLines(uint32_t lines) override;
  // No global gain: the analog gain takes its place.
  uint32_t SetGlobalGain(uint32_t /*gain*/) override { return 0; }
  uint32_t SetAnalogGain(uint32_t value) override;
  uint32_t SetGainMode(uint32_t value) override;
  uint32_t GetGainMode(uint32_t* value) override;
  uint32_t IsColorModeSupported() override { return 0; }
  uint32_t IsBinningSupported() override { return 0; }
  uint32_t IsSubSampleSupported() override { return 0; }

 protected:
  uint32_t ApplyMirrors(uint32_t v, uint32_t h) override;

 private:
  const ZA14Probe probe_;
};

}  // namespace vexcam
