#pragma once
// What a driver's register channel offers its driver: a plain write and a
// plain read of one sensor register. The table-driven base answers
// WriteSensorRegister / ReadSensorRegister through the channel a driver
// names, so a driver does not forward them itself.

#include <cstdint>

namespace vexcam {

class SensorChannel {
 public:
  virtual uint32_t Write(uint32_t address, uint32_t value) = 0;
  virtual uint32_t Read(uint32_t address, uint32_t* value) = 0;

 protected:
  SensorChannel() = default;
  ~SensorChannel() = default;
  SensorChannel(const SensorChannel&) = delete;
  SensorChannel& operator=(const SensorChannel&) = delete;
};

}  // namespace vexcam
