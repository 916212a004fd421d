#pragma once
// IUsbDevice over a shared libusb handle. Bulk transfers are asynchronous
// libusb transfers whose events are handled by the waiting thread, so a
// cancel from another thread ends the wait at once. Transfers above 4 MiB go
// in pieces (whole packets) to stay inside the kernel's usbfs memory limit.

#include <memory>
#include <string>

#include "transport/usb_access.h"

namespace vexcam::usb {

class LibusbSharedHandle;

// Largest piece submitted at once.
inline constexpr uint32_t kLibusbPieceBytes = 4u << 20;

class LibusbDevice : public IUsbDevice {
 public:
  explicit LibusbDevice(std::shared_ptr<LibusbSharedHandle> handle);
  ~LibusbDevice() override;

  int ControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                      uint8_t* data, uint16_t length, uint32_t timeoutMs) override;
  TransferResult BulkTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                              uint32_t timeoutMs) override;
  bool CancelPending(uint8_t endpoint) override;
  bool ClearHalt(uint8_t endpoint) override;
  bool ResetPort() override;
  bool GetSpeed(uint32_t* code) override;

 private:
  // "USB bus B device D", for debug output.
  std::string DeviceName() const;
  std::shared_ptr<LibusbSharedHandle> handle_;
};

}  // namespace vexcam::usb
