#pragma once
// Register programs of the CCD cameras: the words their two timing-generator
// chips need at power-up, the timing vectors, and the FPGA enables that
// follow. Programs are data; CCcdSensor::InitSensor runs them.

#include <cstdint>
#include <span>

namespace vexcam {

// Timing vector words hold two 13-bit toggle positions in pixel clocks of
// the line: the first in bits 0-12, the second in bits 13-25. 8191 means
// "never", so a word that carries no timing is all ones.
inline constexpr uint32_t kNoToggle = 8191;
constexpr uint32_t Toggles(uint32_t first, uint32_t second) { return second << 13 | first; }
inline constexpr uint32_t kNoTiming = Toggles(kNoToggle, kNoToggle);  // 0x3FFFFFF
static_assert(kNoTiming == 0x3FFFFFF);

// One word of a vector table at its offset from the table's start.
struct ChipVector {
  uint16_t offset = 0;
  uint32_t word = 0;
};

// A complete vector table: count words, those not listed are kNoTiming.
struct VectorTable {
  std::span<const ChipVector> words;
  uint16_t count = 0;
};

struct ChipStep {
  enum class Kind : uint8_t {
    kWord,     // timing-chip address = value
    kBoth,     // the same word to chip 1 (address | 0x8000), then chip 0 (address)
    kWords,    // words[i] to address + i
    kVectors,  // the vector table from address on
    kWaitMs,   // wait value milliseconds
    kFpga,     // FPGA register address = value
    kRun,      // the sub-program
  };
  Kind kind = Kind::kWord;
  uint16_t address = 0;
  uint32_t value = 0;
  std::span<const uint32_t> words = {};
  const VectorTable* vectors = nullptr;
  const ChipStep* steps = nullptr;
  uint16_t stepCount = 0;
};

constexpr ChipStep Word(uint16_t address, uint32_t value) {
  return {.kind = ChipStep::Kind::kWord, .address = address, .value = value};
}
constexpr ChipStep Both(uint16_t address, uint32_t value) {
  return {.kind = ChipStep::Kind::kBoth, .address = address, .value = value};
}
constexpr ChipStep Words(uint16_t address, std::span<const uint32_t> words) {
  return {.kind = ChipStep::Kind::kWords, .address = address, .words = words};
}
constexpr ChipStep Vectors(uint16_t address, const VectorTable& table) {
  return {.kind = ChipStep::Kind::kVectors, .address = address, .vectors = &table};
}
constexpr ChipStep Wait(uint32_t ms) { return {.kind = ChipStep::Kind::kWaitMs, .value = ms}; }
constexpr ChipStep Fpga(uint8_t reg, uint8_t value) {
  return {.kind = ChipStep::Kind::kFpga, .address = reg, .value = value};
}
template <size_t N>
constexpr ChipStep Run(const ChipStep (&steps)[N]) {
  return {.kind = ChipStep::Kind::kRun, .steps = steps, .stepCount = static_cast<uint16_t>(N)};
}

// What differs between the CCD cameras besides their constants row.
struct CcdModel {
  // Line time of the exposure counter in units of 0.1 ms is shutterClocks
  // divided by the pixel clock in kHz.
  double shutterClocks = 0.0;
  // Power-up: chip reset, timing vectors, field settings, FPGA enables.
  std::span<const ChipStep> init;
};

extern const CcdModel kCcdZA06;
extern const CcdModel kCcdZA07;
extern const CcdModel kCcdZA08;

}  // namespace vexcam
