#include "transport/libusb_shared_handle.h"

#include <libusb.h>
#include <algorithm>

#include "transport/libusb_backend.h"

namespace vexcam::usb {

LibusbSharedHandle::LibusbSharedHandle(std::shared_ptr<LibusbBackend> owner,
                                       libusb_device_handle* handle)
    : owner_(std::move(owner)), handle_(handle) {}

LibusbSharedHandle::~LibusbSharedHandle() {
  libusb_release_interface(handle_, 0);
  libusb_close(handle_);
}

libusb_context* LibusbSharedHandle::Context() const { return owner_->Context(); }

void LibusbSharedHandle::Register(libusb_transfer* transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.push_back(transfer);
}

void LibusbSharedHandle::Unregister(libusb_transfer* transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.erase(std::remove(pending_.begin(), pending_.end(), transfer), pending_.end());
}

void LibusbSharedHandle::CancelEndpoint(uint8_t endpoint) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++epochs_[endpoint];
  // A transfer stays registered until its waiter has seen it complete, so
  // none of these has been freed.
  for (libusb_transfer* t : pending_) {
    if (t->endpoint == endpoint) libusb_cancel_transfer(t);
  }
}

uint32_t LibusbSharedHandle::CancelEpoch(uint8_t endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = epochs_.find(endpoint);
  return it == epochs_.end() ? 0 : it->second;
}

}  // namespace vexcam::usb
