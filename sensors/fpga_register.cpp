#include "sensors/fpga_register.h"

#include "platform/clock.h"

namespace vexcam {

namespace {
constexpr uint8_t kRegBusBusy = 2;  // non-zero while the sensor bus is busy
constexpr uint32_t kBusyRetryMs = 3;
}  // namespace

uint32_t FpgaBusIdle(CControllerBase* controller) {
  uint8_t busy = 1;
  return controller->ReadFpgaRegister(kRegBusBusy, &busy) != 0 && busy == 0 ? 1 : 0;
}

void WaitBusyRetry() {
  TimerResolution resolution(1);
  SleepMs(kBusyRetryMs);
}

}  // namespace vexcam
