#pragma once
// Driver of the second revision of the 4608 x 3288 colour CMOS sensor: the
// array, timing and controls of the first, its own start-up list, and a
// stream switch the camera uses around its settings.

#include <cstdint>

#include "sensors/mt9_family.h"

namespace vexcam {

class CSensorMT9F002 final : public CMt9FamilySensor {
 public:
  CSensorMT9F002(CControllerBase* controller, uint8_t busAddress);

  uint32_t CheckSensor() override { return CheckChipVersion(0); }
  uint32_t InitSensor() override;
  // Streaming on / standby through the reset-control register.
  void StartStream() override;
  void StopStream() override;
};

}  // namespace vexcam
