#include "transport/usb_hub.h"

#include "transport/libusb_backend.h"

namespace vexcam::usb {

UsbHub& UsbHub::Instance() {
  static UsbHub hub;
  return hub;
}

void UsbHub::SetSimulator(std::shared_ptr<IUsbBackend> sim, bool exclusive) {
  std::lock_guard<std::mutex> lock(mutex_);
  sim_ = std::move(sim);
  exclusive_ = sim_ != nullptr && exclusive;
}

std::shared_ptr<IUsbBackend> UsbHub::Simulator() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sim_;
}

bool UsbHub::Exclusive() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exclusive_;
}

std::shared_ptr<IUsbBackend> UsbHub::Real() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (exclusive_) return nullptr;
  if (!realTried_) {
    realTried_ = true;
    real_ = LibusbBackend::Create();  // null when libusb cannot start
  }
  return real_;
}

std::vector<DeviceInfo> UsbHub::Enumerate() {
  std::vector<DeviceInfo> devices;
  if (auto sim = Simulator()) devices = sim->Enumerate();
  if (auto real = Real()) {
    std::vector<DeviceInfo> more = real->Enumerate();
    devices.insert(devices.end(), more.begin(), more.end());
  }
  return devices;
}

bool UsbHub::IsInProcess(const std::string& path) const {
  std::shared_ptr<IUsbBackend> sim = Simulator();
  return sim && sim->Owns(path);
}

std::unique_ptr<IUsbDevice> UsbHub::Open(const std::string& path) {
  if (auto sim = Simulator(); sim && sim->Owns(path)) return sim->Open(path);
  if (auto real = Real(); real && real->Owns(path)) return real->Open(path);
  return nullptr;
}

}  // namespace vexcam::usb
