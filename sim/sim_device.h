#pragma once
// An open handle on a simulated camera. It belongs to the plug generation in
// which it was opened: after an unplug every call fails with kNoDevice, also
// once the camera is plugged in again (reopen it, as with a real device).

#include <memory>

#include "sim/sim_camera.h"
#include "transport/usb_access.h"

namespace vexcam::sim {

class SimDevice : public usb::IUsbDevice {
 public:
  SimDevice(std::shared_ptr<SimCamera> camera, uint32_t generation)
      : camera_(std::move(camera)), generation_(generation) {}

  int ControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* data, uint16_t length, uint32_t timeoutMs) override;
  usb::TransferResult BulkTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                                   uint32_t timeoutMs) override;
  bool CancelPending(uint8_t endpoint) override;
  bool ClearHalt(uint8_t endpoint) override;
  bool ResetPort() override;
  bool GetSpeed(uint32_t* code) override;

 private:
  const std::shared_ptr<SimCamera> camera_;
  const uint32_t generation_;
};

}  // namespace vexcam::sim
