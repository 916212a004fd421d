#pragma once
// The Sony-style sensor channel: a 16-bit register address and an 8-bit
// value, written as {address hi, address lo, value} to the sensor's bus
// address and read by writing the two address bytes and reading one byte.
// Each transaction holds the channel's lock.
//
// The verified write and the retrying read wait for the FPGA's sensor-bus
// busy flag (register 2) to read 0, up to 100 attempts 3 ms apart. Cameras
// whose FPGA uses the sensor bus itself take a bus hold: FPGA register 159
// is 1 for the duration of the loop and 0 after it.

#include <cstdint>

#include "sensors/fpga_register.h"
#include "sensors/sensor_channel.h"
#include "sensors/serial_register.h"
#include "transport/controller_base.h"

namespace vexcam {

enum class BusHold : uint8_t {
  kNone,
  kFpga159,  // FPGA register 159 = 1 around each verified access
};

// What a retrying read leaves in its out-value until a read succeeds: never
// a valid 8-bit register value.
inline constexpr uint32_t kSonyReadPreset = 0x0A0A;

// Runs attempt() in the busy-flag loop, bracketed by the bus hold. 0 without
// controller, when the hold cannot be taken, or after 100 failed attempts;
// the hold is released in every case once taken.
template <typename Attempt>
uint32_t RetryUnderBusHold(CControllerBase* controller, BusHold hold, Attempt attempt);

class SonyRegister final : public SensorChannel {
 public:
  struct Options {
    uint32_t writeDelayMs = 0;  // pause before every plain write
    BusHold hold = BusHold::kNone;
  };

  // controller is borrowed and may be null (every access then fails).
  SonyRegister(CControllerBase* controller, uint8_t busAddress, Options options);

  // Plain accesses: one bus transaction each (a write after writeDelayMs).
  uint32_t Write(uint32_t address, uint32_t value) override;
  uint32_t Read(uint32_t address, uint32_t* value) override;

  // Write in the busy-flag loop; stops at the first successful write.
  uint32_t WriteVerified(uint32_t address, uint32_t value);
  // Read in the busy-flag loop; *value is kSonyReadPreset until a read succeeds.
  uint32_t ReadRetry(uint32_t address, uint32_t* value);

 private:
  CControllerBase* const controller_;
  const Options options_;
  SerialRegister8 channel_;
};

namespace sony_register_detail {
inline constexpr uint8_t kRegBusHold = 159;
}

template <typename Attempt>
uint32_t RetryUnderBusHold(CControllerBase* controller, BusHold hold, Attempt attempt) {
  using sony_register_detail::kRegBusHold;
  if (controller == nullptr) return 0;
  if (hold == BusHold::kNone) return RetryWhileBusBusy(controller, attempt);
  if (controller->WriteFpgaRegister(kRegBusHold, 1) == 0) return 0;
  const uint32_t ok = RetryWhileBusBusy(controller, attempt);
  const uint32_t released = controller->WriteFpgaRegister(kRegBusHold, 0);
  return ok != 0 && released != 0 ? 1 : 0;
}

}  // namespace vexcam
