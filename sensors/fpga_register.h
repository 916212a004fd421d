#pragma once
// A value held in one or more 8-bit FPGA registers, least significant byte
// first (for example a 24-bit exposure counter in three registers, or a
// 12-bit ADC reading in two). Writes and reads go register by register in
// list order and stop at the first failure.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sensors/sensor_channel.h"
#include "transport/controller_base.h"

namespace vexcam {

template <size_t Count>
class FpgaRegisters {
 public:
  // controller is borrowed and may be null (every access then fails).
  constexpr FpgaRegisters(CControllerBase* controller, std::array<uint8_t, Count> registers)
      : controller_(controller), registers_(registers) {}

  uint32_t Write(uint32_t value) const {
    if (controller_ == nullptr) return 0;
    for (size_t i = 0; i < Count; ++i) {
      if (controller_->WriteFpgaRegister(registers_[i], static_cast<uint8_t>(value >> (8 * i))) ==
          0) {
        return 0;
      }
    }
    return 1;
  }

  uint32_t Read(uint32_t* value) const {
    if (controller_ == nullptr || value == nullptr) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < Count; ++i) {
      uint8_t byte = 0;
      if (controller_->ReadFpgaRegister(registers_[i], &byte) == 0) return 0;
      v |= static_cast<uint32_t>(byte) << (8 * i);
    }
    *value = v;
    return 1;
  }

  // Sets (on) or clears the mask bits of a single register, keeping the others.
  uint32_t UpdateBits(uint8_t mask, bool on) const requires(Count == 1) {
    uint32_t value = 0;
    if (Read(&value) == 0) return 0;
    return Write(on ? (value | mask) : (value & ~uint32_t{mask}));
  }

 private:
  CControllerBase* controller_;
  std::array<uint8_t, Count> registers_;
};

class FpgaRegister : public FpgaRegisters<1> {
 public:
  constexpr FpgaRegister(CControllerBase* controller, uint8_t reg)
      : FpgaRegisters<1>(controller, {reg}) {}
};

// The FPGA registers as a driver's register channel (the cameras whose FPGA
// runs the sensor): 8-bit addresses and values, larger ones are refused.
class FpgaRegisterChannel final : public SensorChannel {
 public:
  // controller is borrowed and may be null (every access then fails).
  explicit FpgaRegisterChannel(CControllerBase* controller) : controller_(controller) {}

  uint32_t Write(uint32_t address, uint32_t value) override;
  uint32_t Read(uint32_t address, uint32_t* value) override;

 private:
  CControllerBase* const controller_;
};

// Runs attempt() up to 100 times, 3 ms apart, each time only while FPGA
// register 2 (the sensor bus busy flag) reads 0; 1 on the first success.
template <typename Attempt>
uint32_t RetryWhileBusBusy(CControllerBase* controller, Attempt attempt);

uint32_t FpgaBusIdle(CControllerBase* controller);
void WaitBusyRetry();

template <typename Attempt>
uint32_t RetryWhileBusBusy(CControllerBase* controller, Attempt attempt) {
  if (controller == nullptr) return 0;
  constexpr uint32_t kAttempts = 100;
  for (uint32_t i = 0; i < kAttempts; ++i) {
    if (FpgaBusIdle(controller) != 0 && attempt() != 0) return 1;
    WaitBusyRetry();
  }
  return 0;
}

}  // namespace vexcam
