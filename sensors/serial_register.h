#pragma once
// A sensor register reached over the controller's serial bus: a 16-bit
// register address, then the value in ValueBytes bytes, high byte first.
// A write is one transaction {addr hi, addr lo, value...}; a read writes the
// address and reads the value back. Each transaction holds the channel's
// lock, so a write-then-read pair is never split by another thread.

#include <cstdint>

#include "platform/critical_section.h"
#include "sensors/sensor_channel.h"
#include "transport/controller_base.h"

namespace vexcam {

template <uint32_t ValueBytes>
class SerialRegister final : public SensorChannel {
  static_assert(ValueBytes == 1 || ValueBytes == 2);

 public:
  // controller is borrowed and may be null (every access then fails).
  SerialRegister(CControllerBase* controller, uint8_t busAddress)
      : controller_(controller), bus_address_(busAddress) {}

  uint32_t Write(uint32_t address, uint32_t value) override;
  uint32_t Read(uint32_t address, uint32_t* value) override;

 private:
  CControllerBase* const controller_;
  const uint8_t bus_address_;
  CriticalSection lock_;
};

// 8-bit registers (ZA01 and most of the family) and 16-bit ones (the MT9 family).
using SerialRegister8 = SerialRegister<1>;
using SerialRegister16 = SerialRegister<2>;

extern template class SerialRegister<1>;
extern template class SerialRegister<2>;

}  // namespace vexcam
