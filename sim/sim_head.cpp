#include "sim/sim_head.h"

namespace vexcam::sim {

bool SimHead::SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count) {
  if (count < 2) return false;
  sensorPointer_ = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  const uint8_t* values = bytes + 2;
  const uint16_t n = static_cast<uint16_t>(count - 2);
  if (ports.product.sensorValueBytes == 1 || n == 1) {
    // 8-bit registers at consecutive addresses; a single byte is an 8-bit value.
    for (uint16_t i = 0; i < n; ++i)
      ports.sensor[static_cast<uint16_t>(sensorPointer_ + i)] = values[i];
    return true;
  }
  // 16-bit registers: big-endian words at consecutive even addresses.
  for (uint16_t i = 0; i + 1 < n; i += 2)
    ports.sensor[static_cast<uint16_t>(sensorPointer_ + i)] =
        static_cast<uint16_t>(values[i] << 8 | values[i + 1]);
  return true;
}

bool SimHead::SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) {
  if (ports.product.sensorValueBytes == 1 || count == 1) {
    for (uint16_t i = 0; i < count; ++i)
      bytes[i] = static_cast<uint8_t>(ports.sensor[static_cast<uint16_t>(sensorPointer_ + i)]);
    return true;
  }
  for (uint16_t i = 0; i < count; ++i) {
    const uint16_t word = ports.sensor[static_cast<uint16_t>(sensorPointer_ + (i & ~1u))];
    bytes[i] = static_cast<uint8_t>((i & 1u) ? word : word >> 8);
  }
  return true;
}

void SimHead::ControllerWordWritten(SimPorts& /*ports*/, uint16_t address, uint32_t word) {
  words_[address] = word;
}

bool SimHead::ControllerWordRead(SimPorts& /*ports*/, uint16_t address, uint32_t* word) {
  const auto it = words_.find(address);
  *word = it == words_.end() ? 0 : it->second;
  return true;
}

uint16_t SimHead::ControllerValue(SimPorts& ports, uint16_t address) {
  return ports.sensor[address];
}

}  // namespace vexcam::sim
