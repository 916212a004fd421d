#pragma once
// Driver of the cooled 320 x 256 camera: the FPGA runs the sensor (FPGA
// register channel as for ZA02) and a thermistor-regulated Peltier cooler.
// The cooler's controller is reached through FPGA registers 80 to 84; its
// readings and set-point use the thermistor scale of sensors/thermistor.h.

#include <cstdint>

#include "platform/critical_section.h"
#include "sensors/sensor_fpga_cmos.h"

namespace vexcam {

class CSensorG1467x final : public CFpgaRegisterSensor {
 public:
  static constexpr uint8_t kRegReadingLow = 4;
  static constexpr uint8_t kRegReadingHigh = 5;
  static constexpr uint8_t kRegTargetLow = 80;
  static constexpr uint8_t kRegPeltier = 81;  // bit 0: cooling on
  static constexpr uint8_t kRegCommand = 82;  // 0 then 1 commits, 0 then 2 latches the readings
  static constexpr uint8_t kRegTargetHigh = 83;
  static constexpr uint8_t kRegCommandMode = 84;  // 0: set-point, 2: read back
  // Cooling target until one is set (whole degrees Celsius).
  static constexpr int32_t kDefaultTarget = 0;

  CSensorG1467x(CControllerBase* controller, uint8_t busAddress);
  ~CSensorG1467x() override = default;

  uint32_t InitSensor() override;
  uint32_t IsPeltierSupported() override { return 1; }
  uint32_t GetPeltier() override;
  // Writes 1 for on (1), 0 otherwise; switching on re-applies the stored target.
  uint32_t SetPeltier(uint32_t on) override;
  uint32_t IsTemperatureSupported() override { return 1; }
  // Only while the cooling is on.
  uint32_t GetTemperature(double* celsius) override;
  // The cooler's controller answers.
  uint32_t IsOperationModeReady() override;
  uint32_t GetCoolingTarget(int32_t* celsius) override;
  // Stores the target; programs it when the cooling is on.
  uint32_t SetCoolingTarget(int32_t celsius) override;

  int32_t StoredCoolingTarget() const { return target_; }

 private:
  // 84 = 2, 82 = 0, 82 = 2: the controller latches reading and set-point.
  uint32_t LatchReadings();
  uint32_t ReadPair(uint8_t low, uint8_t high, uint32_t* value);

  // One cooler transaction (command sequence and its reads) at a time.
  CriticalSection cooler_lock_;
  int32_t target_ = kDefaultTarget;
};

}  // namespace vexcam
