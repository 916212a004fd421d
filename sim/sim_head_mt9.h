#pragma once
// The simulated head of the 16-bit register CMOS sensors: which chip a
// camera of model kMT9F carries. Its register 0 answers the chip-version
// probe (address 0 written, two bytes read); the first revision answers with
// its row's identification word, the second with version 302 (bytes 0x2E,
// 0x01 on the bus).

#include <cstdint>

namespace vexcam::sim {

enum class Mt9fChip : uint8_t { kFirst, kSecond };

// Register 0 of the second revision, as the bus carries it (high byte first).
inline constexpr uint16_t kMt9fSecondChipWord = 0x2E01;

// The chip of every kMT9F camera from its next power-on (process-wide;
// kFirst until changed). SimCamera::SetSensorRegister(0, ...) changes one
// camera until its next power-on.
void SetMt9fChip(Mt9fChip chip);
Mt9fChip GetMt9fChip();

}  // namespace vexcam::sim
