#include "sensors/fpga_register.h"

#include "platform/clock.h"

namespace vexcam {

namespace {
constexpr uint8_t kRegBusBusy = 2;  // non-zero while the sensor bus is busy
constexpr uint32_t kBusyRetryMs = 3;
}  // namespace

uint32_t FpgaRegisterChannel::Write(uint32_t address, uint32_t value) {
  if (controller_ == nullptr || address > 0xFF || value > 0xFF) return 0;
  return controller_->WriteFpgaRegister(static_cast<uint8_t>(address),
                                        static_cast<uint8_t>(value)) != 0
             ? 1
             : 0;
}

uint32_t FpgaRegisterChannel::Read(uint32_t address, uint32_t* value) {
  if (controller_ == nullptr || address > 0xFF || value == nullptr) return 0;
  uint8_t byte = 0;
  if (controller_->ReadFpgaRegister(static_cast<uint8_t>(address), &byte) == 0) return 0;
  *value = byte;
  return 1;
}

uint32_t FpgaBusIdle(CControllerBase* controller) {
  uint8_t busy = 1;
  return controller->ReadFpgaRegister(kRegBusBusy, &busy) != 0 && busy == 0 ? 1 : 0;
}

void WaitBusyRetry() {
  TimerResolution resolution(1);
  SleepMs(kBusyRetryMs);
}

}  // namespace vexcam
