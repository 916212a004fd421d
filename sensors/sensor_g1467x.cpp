#include "sensors/sensor_g1467x.h"

#include <optional>

#include "sensors/sensor_constants.h"
#include "sensors/thermistor.h"

namespace vexcam {

CSensorG1467x::CSensorG1467x(CControllerBase* controller, uint8_t busAddress)
    : CFpgaRegisterSensor(controller, busAddress, SensorDriver::kG1467x) {}

uint32_t CSensorG1467x::InitSensor() {
  return StartUp(info_.effectiveWidth, info_.effectiveHeight);
}

uint32_t CSensorG1467x::GetPeltier() {
  uint32_t value = 0;
  if (ReadSensorRegister(kRegPeltier, &value) == 0) return 0;
  return value & 1u;
}

uint32_t CSensorG1467x::SetPeltier(uint32_t on) {
  const uint32_t value = on == 1 ? 1 : 0;
  if (WriteSensorRegister(kRegPeltier, value) == 0) return 0;
  if (value == 1) return SetCoolingTarget(target_);
  return 1;
}

uint32_t CSensorG1467x::IsOperationModeReady() {
  uint32_t value = 0;
  return ReadSensorRegister(kRegCommandMode, &value);
}

uint32_t CSensorG1467x::LatchReadings() {
  return WriteSensorRegister(kRegCommandMode, 2) != 0 && WriteSensorRegister(kRegCommand, 0) != 0 &&
                 WriteSensorRegister(kRegCommand, 2) != 0
             ? 1
             : 0;
}

uint32_t CSensorG1467x::ReadPair(uint8_t low, uint8_t high, uint32_t* value) {
  uint32_t lo = 0, hi = 0;
  if (ReadSensorRegister(high, &hi) == 0 || ReadSensorRegister(low, &lo) == 0) return 0;
  *value = hi << 8 | lo;
  return 1;
}

uint32_t CSensorG1467x::GetTemperature(double* celsius) {
  if (GetPeltier() == 0) return 0;
  CsLock lock(cooler_lock_);
  uint32_t reading = 0;
  if (LatchReadings() == 0 || ReadPair(kRegReadingLow, kRegReadingHigh, &reading) == 0) return 0;
  const std::optional<double> t = thermistor::TemperatureOfReading(reading);
  if (!t || celsius == nullptr) return 0;
  *celsius = *t;
  return 1;
}

uint32_t CSensorG1467x::SetCoolingTarget(int32_t celsius) {
  const std::optional<uint16_t> code = thermistor::CodeOfTemperature(celsius);
  if (!code) return 0;  // at or below absolute zero: nothing the cooler could reach
  target_ = celsius;
  if (IsOperationModeReady() == 0 || GetPeltier() == 0) return 1;
  CsLock lock(cooler_lock_);
  const bool ok = WriteSensorRegister(kRegTargetLow, *code & 0xFF) != 0 &&
                  WriteSensorRegister(kRegTargetHigh, *code >> 8) != 0 &&
                  WriteSensorRegister(kRegCommandMode, 0) != 0 &&
                  WriteSensorRegister(kRegCommand, 0) != 0 &&
                  WriteSensorRegister(kRegCommand, 1) != 0;
  return ok ? 1 : 0;
}

uint32_t CSensorG1467x::GetCoolingTarget(int32_t* celsius) {
  if (celsius == nullptr) return 0;
  CsLock lock(cooler_lock_);
  uint32_t code = 0;
  if (LatchReadings() == 0 || ReadPair(kRegTargetLow, kRegTargetHigh, &code) == 0) return 0;
  const std::optional<int32_t> t = thermistor::WholeDegreesOfCode(static_cast<uint16_t>(code));
  if (!t) return 0;
  *celsius = *t;
  return 1;
}

}  // namespace vexcam
