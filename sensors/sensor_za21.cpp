#include "sensors/sensor_za21.h"

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr uint8_t kRegTrigger = 88;  // 1 external trigger, 0 free run
constexpr uint8_t kRegDepth = 89;    // 1 16-bit pixels, 0 8-bit

}  // namespace

CSensorZA21::CSensorZA21(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kZA21),
      trigger_(controller, kRegTrigger),
      depth_(controller, kRegDepth) {}

uint32_t CSensorZA21::InitSensor() {
  if (controller_ == nullptr) return 0;
  CsLock hold(lock_);
  // Free run, 8-bit pixels, the whole array.
  if (trigger_.Write(0) == 0 || depth_.Write(0) == 0) return 0;
  info_.pixelClockKhz = kPixelClockKhz;
  info_.bitsPerPixel = 8;
  return StoreCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CSensorZA21::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                     uint32_t areaFlag) {
  if (x != 0 || y != 0 || width != info_.arrayWidth || height != info_.arrayHeight ||
      areaFlag != 0) {
    return 0;
  }
  return StoreCaptureArea(0, width, 0, height, 0);
}

uint32_t CSensorZA21::SetTriggerMode(uint32_t mode) {
  CsLock hold(lock_);
  return trigger_.Write(mode != 0 ? 1 : 0);
}

uint32_t CSensorZA21::GetTriggerMode(uint32_t* mode) {
  if (mode == nullptr) return 0;
  CsLock hold(lock_);
  return trigger_.Read(mode);
}

uint32_t CSensorZA21::SetDataBits(uint32_t sixteenBit) {
  CsLock hold(lock_);
  if (depth_.Write(sixteenBit != 0 ? 1 : 0) == 0) return 0;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  return 1;
}

double CSensorZA21::LineTime() const {
  if (info_.pixelClockKhz == 0) return 0.0;
  return CTableDrivenSensor::LineTime();
}

}  // namespace vexcam
