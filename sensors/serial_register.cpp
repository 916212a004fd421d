#include "sensors/serial_register.h"

namespace vexcam {

template <uint32_t ValueBytes>
uint32_t SerialRegister<ValueBytes>::Write(uint32_t address, uint32_t value) {
  if (controller_ == nullptr) return 0;
  uint8_t bytes[2 + ValueBytes] = {static_cast<uint8_t>(address >> 8),
                                   static_cast<uint8_t>(address)};
  for (uint32_t i = 0; i < ValueBytes; ++i) {
    bytes[2 + i] = static_cast<uint8_t>(value >> (8 * (ValueBytes - 1 - i)));
  }
  CsLock lock(lock_);
  return controller_->WriteSerialBus(bus_address_, bytes, sizeof(bytes), kSerialBusTimeoutMs) != 0
             ? 1
             : 0;
}

template <uint32_t ValueBytes>
uint32_t SerialRegister<ValueBytes>::Read(uint32_t address, uint32_t* value) {
  if (controller_ == nullptr || value == nullptr) return 0;
  const uint8_t addr[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  uint8_t bytes[ValueBytes] = {};
  CsLock lock(lock_);
  if (controller_->WriteSerialBus(bus_address_, addr, 2, kSerialBusTimeoutMs) == 0) return 0;
  if (controller_->ReadSerialBus(bus_address_, bytes, ValueBytes, kSerialBusTimeoutMs) == 0) {
    return 0;
  }
  uint32_t v = 0;
  for (uint8_t b : bytes) v = (v << 8) | b;
  *value = v;
  return 1;
}

template class SerialRegister<1>;
template class SerialRegister<2>;

}  // namespace vexcam
