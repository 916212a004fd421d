#include "sensors/sony_register.h"

#include "platform/clock.h"

namespace vexcam {

SonyRegister::SonyRegister(CControllerBase* controller, uint8_t busAddress, Options options)
    : controller_(controller), options_(options), channel_(controller, busAddress) {}

uint32_t SonyRegister::Write(uint32_t address, uint32_t value) {
  if (controller_ == nullptr) return 0;
  if (options_.writeDelayMs != 0) {
    TimerResolution resolution(1);
    SleepMs(options_.writeDelayMs);
  }
  return channel_.Write(address, value);
}

uint32_t SonyRegister::Read(uint32_t address, uint32_t* value) {
  return channel_.Read(address, value);
}

uint32_t SonyRegister::WriteVerified(uint32_t address, uint32_t value) {
  // Registers are 8 bits wide: a larger value is a caller's mistake, not a
  // byte to truncate silently.
  if (value > 0xFF) return 0;
  return RetryUnderBusHold(controller_, options_.hold, [&] { return Write(address, value); });
}

uint32_t SonyRegister::ReadRetry(uint32_t address, uint32_t* value) {
  if (value == nullptr) return 0;
  *value = kSonyReadPreset;
  uint32_t v = kSonyReadPreset;
  const uint32_t ok =
      RetryUnderBusHold(controller_, options_.hold, [&] { return Read(address, &v); });
  if (ok != 0) *value = v;
  return ok;
}

}  // namespace vexcam
