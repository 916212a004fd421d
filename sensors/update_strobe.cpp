#include "sensors/update_strobe.h"

#include "platform/clock.h"

namespace vexcam {

namespace {

constexpr uint8_t kRegUpdateStrobe = 108;
constexpr uint8_t kRegUpdateStrobeAlt = 150;
constexpr uint32_t kModelStrobeAltA = 103;
constexpr uint32_t kModelStrobeAltB = 115;
constexpr uint32_t kModelNoStrobe = 122;

void WaitOneMs() {
  TimerResolution resolution(1);
  SleepMs(1);
}

}  // namespace

uint8_t UpdateStrobeRegister(uint32_t modelNumber) {
  if (modelNumber == kModelNoStrobe) return 0;
  return (modelNumber == kModelStrobeAltA || modelNumber == kModelStrobeAltB) ? kRegUpdateStrobeAlt
                                                                              : kRegUpdateStrobe;
}

uint32_t PulseUpdateStrobe(CControllerBase* controller, uint32_t modelNumber) {
  if (controller == nullptr) return 0;
  const uint8_t reg = UpdateStrobeRegister(modelNumber);
  if (reg == 0) return 1;
  if (controller->WriteFpgaRegister(reg, 1) == 0) return 0;
  WaitOneMs();
  const uint32_t ok = controller->WriteFpgaRegister(reg, 0);
  WaitOneMs();
  return ok != 0 ? 1 : 0;
}

}  // namespace vexcam
