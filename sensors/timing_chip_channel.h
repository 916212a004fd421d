#pragma once
// Words of the timing-generator chips of the CCD cameras, sent through the
// controller (WriteControllerWord). A register address selects the chip by
// bit 15 (set: chip 1, clear: chip 0); the word by bits 0-11.
//
// Chips that cannot be read back are answered from a shadow of everything
// sent: two banks of 4096 words, one per chip, each starting as
// kNeverWritten. The shadow records what was sent, not what the chip took:
// a failed transfer still updates it. Chips that can be read back are read
// through ReadControllerWord instead, without a shadow.
//
// The channel holds its lock across the shadow update and the transfer, so
// the shadow and the order of words on the wire always agree.

#include <array>
#include <cstdint>

#include "platform/critical_section.h"
#include "sensors/sensor_channel.h"
#include "transport/controller_base.h"

namespace vexcam {

class TimingChipChannel final : public SensorChannel {
 public:
  enum class ReadBack : uint8_t {
    kShadow,      // reads answered from the shadow of what was sent
    kController,  // reads go to the chip through ReadControllerWord
  };

  // Marker of a shadow word that was never written.
  static constexpr uint32_t kNeverWritten = 0xAAAAAAAA;
  // Address bit that selects chip 1.
  static constexpr uint32_t kChip1 = 0x8000;
  static constexpr uint32_t kWordsPerChip = 4096;

  // controller is borrowed and may be null (every transfer then fails).
  TimingChipChannel(CControllerBase* controller, ReadBack readBack);
  TimingChipChannel(const TimingChipChannel&) = delete;
  TimingChipChannel& operator=(const TimingChipChannel&) = delete;

  // 0 without controller, for an address beyond 16 bits (which the request
  // cannot carry) or when the transfer fails.
  uint32_t Write(uint32_t address, uint32_t word) override;
  // 0 for a null out-pointer, an address beyond 16 bits, a shadow word never
  // written, or a failed controller read.
  uint32_t Read(uint32_t address, uint32_t* word) override;

 private:
  static size_t ShadowIndex(uint32_t address);

  CControllerBase* const controller_;
  const ReadBack read_back_;
  CriticalSection lock_;
  std::array<uint32_t, 2 * kWordsPerChip> shadow_;
};

}  // namespace vexcam
