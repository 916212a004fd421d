#include "sensors/sensor_imx250.h"

#include <algorithm>

#include "platform/clock.h"
#include "sensors/fpga_register.h"
#include "sensors/pregius_exposure.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// FPGA register gating frames by the trigger input.
constexpr uint8_t kFpgaTrigger = 88;

// Verified writes.
constexpr SonyControls kPregiusControls = [] {
  SonyControls c = kSonyMap512;
  c.verified = true;
  return c;
}();

}  // namespace

CPregiusSensor::CPregiusSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver)
    : CSonySensor(controller, busAddress, driver, kPregiusControls) {}

uint32_t CPregiusSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  // Free-running readout at the current data width.
  if (EnterStandby() == 0 ||
      WriteControl(kSonyMap512.depth, info_.bitsPerPixel == 16 ? 1u : 0u) == 0 ||
      WriteControl(kSonyMap512.trigger, 0) == 0 ||
      FpgaRegister(controller_, kFpgaTrigger).Write(0) == 0) {
    return 0;
  }
  return StartWithDefaults();
}

uint32_t CPregiusSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                        uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  const pregius::AreaPlan plan = pregius::PlanCaptureArea(
      x, width, y, height, areaFlag, info_.arrayWidth, info_.arrayHeight, info_.bitsPerPixel == 16);
  if (!plan.ok) return 0;
  const auto verified = [this](uint32_t a, uint32_t v) {
    return WriteSensorRegisterVerified(a, v);
  };
  const auto plain = [this](uint32_t a, uint32_t v) { return WriteSensorRegister(a, v); };
  if (pregius::RunPlan(plan.Steps(), verified, plain, WaitMs) == 0) return 0;

  info_.lineLength = plan.lineLength;
  const pregius::ExposureTimeLimits limits = pregius::ExposureTimeLimitsOf(
      info_.exposureLines.minimum, info_.exposureLines.maximum, LineTime());
  info_.exposureTime.minimum = limits.minimum;
  info_.exposureTime.maximum = limits.maximum;
  return CommitWindow(plan.x, plan.width, plan.y, plan.height, areaFlag, plan.frameLength);
}

uint32_t CPregiusSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const uint32_t n = std::max(lines, info_.exposureLines.minimum);
  const pregius::LinesPlan plan =
      pregius::PlanExposureLines(n, info_.exposureLines.maximum, info_.frameLength,
                                 info_.exposureLines.current, info_.exposureTime.current);
  TimerResolution resolution(1);
  const auto verified = [this](uint32_t a, uint32_t v) {
    return WriteSensorRegisterVerified(a, v);
  };
  const auto plain = [this](uint32_t a, uint32_t v) { return WriteSensorRegister(a, v); };
  if (pregius::RunPlan(plan.Steps(), verified, plain, SleepMs) == 0) return 0;
  info_.exposureLines.current = plan.lines;
  return 1;
}

uint32_t CPregiusSensor::SetExposureTime(uint32_t time) {
  const pregius::ExposureTimeLines e =
      pregius::ExposureTimeToLines(time, LineTime(), info_.exposureLines.maximum);
  if (SetExposureLines(e.lines) == 0) return 0;
  info_.exposureTime.current = e.time;
  return 1;
}

double CPregiusSensor::LineTime() const { return pregius::LineTime(info_.lineLength); }

CSensorIMX250::CSensorIMX250(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX250) {}

CSensorIMX252::CSensorIMX252(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX252) {}

CSensorIMX264::CSensorIMX264(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX264) {}

CSensorIMX265::CSensorIMX265(CControllerBase* controller, uint8_t busAddress)
    : CPregiusSensor(controller, busAddress, SensorDriver::kIMX265) {}

}  // namespace vexcam
