#pragma once
// Driver of the 2048 x 2048 camera whose sensor is run by the camera's FPGA:
// the host loads values into FPGA registers and asks the FPGA to apply them
// with a command bit in register 160 (register 32 bit 0 is set while the
// FPGA works on one). A status device at bus address 95 answers once the
// sensor module is up. The 4096 x 4096 sibling (CSensorZA14) shares the
// command channel.

#include <chrono>
#include <cstdint>

#include "sensors/record_time_sensor.h"

namespace vexcam {

// The FPGA command channel of the FPGA-run cameras.
class FpgaCommandChannel {
 public:
  static constexpr uint8_t kRegCommand = 160;
  static constexpr uint8_t kRegBusy = 32;  // bit 0 while a command runs
  static constexpr uint32_t kBusyStepMs = 5;
  // A command that never finishes fails after this many busy steps (2 s).
  static constexpr uint32_t kBusySteps = 400;
  // Command bits.
  static constexpr uint8_t kLatchTemperature = 1;
  static constexpr uint8_t kReadTemperature = 2;
  static constexpr uint8_t kApplyLinePeriod = 4;
  static constexpr uint8_t kReadLinePeriod = 8;
  static constexpr uint8_t kApplyExposure = 16;
  static constexpr uint8_t kApplyGain = 32;
  static constexpr uint8_t kApplyMirror = 64;
  // Temperature word: 170 high, 169 low.
  static constexpr uint8_t kRegTemperatureLow = 169;
  static constexpr uint8_t kRegTemperatureHigh = 170;

  explicit FpgaCommandChannel(CControllerBase* controller) : controller_(controller) {}

  // Writes the command and waits while the busy bit is set.
  uint32_t Run(uint8_t command) const;
  // Exposure in microseconds: 32 bits in FPGA 232..235 (low first, saturated),
  // then the apply command.
  static constexpr uint8_t kRegExposureFirst = 232;
  uint32_t ApplyExposure(uint64_t microseconds) const;
  // Latches and reads the 16-bit temperature word.
  uint32_t ReadTemperatureWord(uint32_t* value) const;

 private:
  CControllerBase* const controller_;
};

// The module probe: one-byte reads from the status device until one
// succeeds with the low four bits 0.
struct ModuleProbe {
  uint32_t attempts = 20;
  std::chrono::milliseconds interval{100};
  std::chrono::milliseconds limit{5000};
};

// 1 when the status device answered with a ready byte within the probe.
uint32_t ProbeModule(CControllerBase* controller, const ModuleProbe& probe);

// The temperature word's scale: degrees Celsius = word x scale - offset.
struct FpgaCommandTemperature {
  double scale = 0.0;
  double offset = 0.0;
};

// What the cameras behind the command channel (ZA09, ZA14) share: the FPGA
// frames the image, the exposure is programmed in microseconds, the trigger,
// temperature word and operation mode are FPGA registers.
class CFpgaCommandSensor : public CRecordTimeSensor {
 public:
  static constexpr uint8_t kRegExposureFirst = FpgaCommandChannel::kRegExposureFirst;
  static constexpr uint8_t kRegTrigger = 88;
  static constexpr uint8_t kRegOperationMode = 161;
  static constexpr uint16_t kOperationModeVersion = 23;

  // Stored only (inside the array): the camera device model writes the window.
  uint32_t SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                          uint32_t areaFlag) override;
  uint32_t SetTriggerMode(uint32_t mode) override;
  uint32_t GetTriggerMode(uint32_t* mode) override;
  // Clamped into the record, then programmed as seconds.
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t SetExposureTimeEx(double seconds) override;
  uint32_t IsTemperatureSupported() override { return 1; }
  uint32_t GetTemperature(double* celsius) override;
  uint32_t HasOperationMode() override;
  uint32_t GetOperationModeState(uint32_t* state) override;
  uint32_t SetOperationMode(uint32_t mode) override;

 protected:
  CFpgaCommandSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                     const FpgaCommandTemperature& temperature);

  uint32_t ProgramMicroseconds(uint64_t microseconds) const {
    return commands_.ApplyExposure(microseconds);
  }

  const FpgaCommandChannel commands_;

 private:
  const FpgaCommandTemperature temperature_;
};

class CSensorZA09 final : public CFpgaCommandSensor {
 public:
  static constexpr uint8_t kStatusBusAddress = 0x5E;  // reads from 95
  static constexpr uint8_t kRegModuleVersionLow = 18;
  static constexpr uint8_t kRegModuleVersionHigh = 19;
  static constexpr uint8_t kRegLinePeriodLow = 230;   // bits 0-7
  static constexpr uint8_t kRegLinePeriodHigh = 231;  // bits 8-13
  static constexpr uint8_t kRegLinePeriodReadLow = 102;
  static constexpr uint8_t kRegLinePeriodReadHigh = 103;  // bits 0-5
  static constexpr uint8_t kRegReadoutSpeed = 144;
  static constexpr uint8_t kRegGain = 236;
  static constexpr uint32_t kMaxReadoutSpeed = 8;
  static constexpr uint32_t kFastLinePeriod = 1280;  // any non-zero speed
  static constexpr uint32_t kSlowLinePeriod = 560;   // speed 0
  static constexpr double kFastMinimumSeconds = 0.000128;
  static constexpr double kSlowMinimumSeconds = 0.000056;

  CSensorZA09(CControllerBase* controller, uint8_t busAddress, ModuleProbe probe = {});

  uint32_t CheckSensor() override;
  uint32_t InitSensor() override;
  uint32_t SetDataBits(uint32_t sixteenBit) override { return ApplyDataBits(sixteenBit); }
  uint32_t SetExposureLines(uint32_t lines) override;
  uint32_t SetGlobalGain(uint32_t gain) override;
  // No mirror: only "off" is accepted.
  uint32_t SetMirrorV(uint32_t on) override { return on == 0 ? 1 : 0; }
  uint32_t SetMirrorH(uint32_t on) override { return on == 0 ? 1 : 0; }
  uint32_t SetReadoutSpeed(uint32_t speed) override;
  uint32_t GetReadoutSpeed(uint32_t* speed) override;
  // 1 for the newer modules (version word bit 12 or 15): fixed line period,
  // rows delivered complete.
  uint32_t CheckModuleVersion() override;
  uint32_t GetModuleInfo(uint32_t* info) override;
  uint32_t IsSubSampleSupported() override { return 0; }

  // The line period read back after the last readout-speed change.
  uint32_t LinePeriod() const { return line_period_; }

 private:
  // Module version word read once (0 while unread).
  uint32_t ModuleVersion(uint32_t* version);

  const ModuleProbe probe_;
  uint32_t module_version_ = 0;
  bool module_version_read_ = false;
  uint32_t line_period_ = 0;
};

}  // namespace vexcam
