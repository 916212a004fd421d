#pragma once
// One open libusb device handle with interface 0 claimed, shared by every
// IUsbDevice open on that camera. Tracks the bulk transfers in flight so that
// another thread can cancel those of an endpoint.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

struct libusb_device_handle;
struct libusb_transfer;
struct libusb_context;

namespace vexcam::usb {

class LibusbBackend;

class LibusbSharedHandle {
 public:
  LibusbSharedHandle(std::shared_ptr<LibusbBackend> owner, libusb_device_handle* handle);
  ~LibusbSharedHandle();
  LibusbSharedHandle(const LibusbSharedHandle&) = delete;
  LibusbSharedHandle& operator=(const LibusbSharedHandle&) = delete;

  libusb_device_handle* Get() const { return handle_; }
  libusb_context* Context() const;

  void Register(libusb_transfer* transfer);
  void Unregister(libusb_transfer* transfer);
  // Cancels the transfers in flight on the endpoint and bumps its cancel
  // epoch, so that a multi-piece transfer does not submit further pieces.
  void CancelEndpoint(uint8_t endpoint);
  uint32_t CancelEpoch(uint8_t endpoint) const;

  void MarkGone() { gone_.store(true); }
  bool Gone() const { return gone_.load(); }

 private:
  std::shared_ptr<LibusbBackend> owner_;  // keeps the context alive
  libusb_device_handle* handle_;
  mutable std::mutex mutex_;  // guards pending_ and epochs_
  std::vector<libusb_transfer*> pending_;
  std::map<uint8_t, uint32_t> epochs_;
  std::atomic<bool> gone_{false};
};

}  // namespace vexcam::usb
