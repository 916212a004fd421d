#pragma once
// A controller that records what a driver sends: FPGA register writes and
// serial-bus transactions. The sensor on the bus is a map of 16-bit registers
// (3-byte writes store one byte, 4-byte writes one word). A write budget makes
// every transaction fail once it is spent, like a camera unplugged mid-sequence.

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "transport/controller_base.h"

namespace vexcam::test {

class FakeController : public CControllerBase {
 public:
  struct BusWrite {
    uint8_t address;
    std::vector<uint8_t> bytes;
  };

  uint32_t GetFpgaVersion(uint16_t* version) override {
    std::lock_guard<std::mutex> lock(mutex_);
    *version = fpgaVersion;
    return 1;
  }

  uint32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Spend()) return 0;
    fpga[reg] = value;
    fpgaWrites.emplace_back(reg, value);
    return 1;
  }

  uint32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (dead_) return 0;
    *value = fpga[reg];
    return 1;
  }

  uint32_t WriteSerialBus(uint8_t address, const uint8_t* bytes, uint32_t count,
                          uint32_t /*timeoutMs*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count > kMaxSerialBusBytes || !Spend()) return 0;
    busWrites.push_back({address, std::vector<uint8_t>(bytes, bytes + count)});
    if (count >= 2) lastAddress_ = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    if (count == 3) sensor[lastAddress_] = bytes[2];
    if (count == 4) sensor[lastAddress_] = static_cast<uint16_t>((bytes[2] << 8) | bytes[3]);
    return 1;
  }

  uint32_t ReadSerialBus(uint8_t address, uint8_t* bytes, uint32_t count,
                         uint32_t /*timeoutMs*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (dead_ || count > kMaxSerialBusBytes) return 0;
    busReads.emplace_back(address, lastAddress_);
    const uint16_t v = sensor[lastAddress_];
    if (count == 1) bytes[0] = static_cast<uint8_t>(v);
    if (count == 2) {
      bytes[0] = static_cast<uint8_t>(v >> 8);
      bytes[1] = static_cast<uint8_t>(v);
    }
    return 1;
  }

  // Sensor-register writes seen on the bus as (address, value) pairs.
  std::vector<std::pair<uint16_t, uint16_t>> SensorWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (const BusWrite& w : busWrites) {
      const auto& b = w.bytes;
      if (b.size() == 3) out.emplace_back((b[0] << 8) | b[1], b[2]);
      if (b.size() == 4) out.emplace_back((b[0] << 8) | b[1], (b[2] << 8) | b[3]);
    }
    return out;
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    fpgaWrites.clear();
    busWrites.clear();
    busReads.clear();
  }

  // Lets `writes` more writes succeed; after that every transaction fails.
  void FailAfter(int writes) {
    std::lock_guard<std::mutex> lock(mutex_);
    budget_ = writes;
    dead_ = false;
  }

  // Direct fields: set them before the driver runs, read them after.
  uint8_t fpga[256] = {};
  uint16_t fpgaVersion = 0x0100;
  std::map<uint16_t, uint16_t> sensor;
  std::vector<std::pair<uint8_t, uint8_t>> fpgaWrites;
  std::vector<BusWrite> busWrites;
  std::vector<std::pair<uint8_t, uint16_t>> busReads;  // (bus address, register)

 private:
  bool Spend() {
    if (dead_) return false;
    if (budget_ < 0) return true;
    if (budget_ == 0) {
      dead_ = true;
      return false;
    }
    --budget_;
    return true;
  }

  std::mutex mutex_;
  int budget_ = -1;
  bool dead_ = false;
  uint16_t lastAddress_ = 0;
};

// The value a getter of `sensor` writes through its out-parameter.
template <typename Sensor, typename Getter>
uint32_t Value(Sensor& sensor, Getter getter) {
  uint32_t v = 0;
  (sensor.*getter)(&v);
  return v;
}

}  // namespace vexcam::test
