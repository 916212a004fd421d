#include "sim/sim_device.h"

namespace vexcam::sim {

namespace {
constexpr uint32_t kSuperSpeed = 4;
}

int SimDevice::ControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                               uint8_t* data, uint16_t length, uint32_t /*timeoutMs*/) {
  // Control requests complete at once; the time-out never comes into play.
  return camera_->ControlTransfer(generation_, requestType, request, value, index, data, length);
}

usb::TransferResult SimDevice::BulkTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                                            uint32_t timeoutMs) {
  return camera_->BulkTransfer(generation_, endpoint, data, length, timeoutMs);
}

bool SimDevice::CancelPending(uint8_t endpoint) {
  return camera_->CancelPending(generation_, endpoint);
}

bool SimDevice::ClearHalt(uint8_t endpoint) { return camera_->ClearHalt(generation_, endpoint); }

bool SimDevice::ResetPort() { return camera_->ResetPort(generation_); }

bool SimDevice::GetSpeed(uint32_t* code) {
  if (code == nullptr || !camera_->IsPlugged() || camera_->Generation() != generation_)
    return false;
  *code = kSuperSpeed;
  return true;
}

}  // namespace vexcam::sim
