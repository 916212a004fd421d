#pragma once
// Chooses the USB backend for a device: simulated cameras (installed by sim/)
// and real cameras through libusb. The libusb backend is created on first
// use; a machine without USB access simply has no real cameras.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/usb_access.h"

namespace vexcam::usb {

class UsbHub {
 public:
  static UsbHub& Instance();

  // Simulated cameras, installed by sim/. exclusive = list only simulated
  // cameras (VEXCAM_SIMULATOR set). A null backend removes the simulator.
  void SetSimulator(std::shared_ptr<IUsbBackend> sim, bool exclusive);
  std::shared_ptr<IUsbBackend> Simulator() const;
  bool Exclusive() const;
  // Simulated devices first, then libusb devices (unless exclusive).
  std::vector<DeviceInfo> Enumerate();
  // True when the path is a camera emulated in this process.
  bool IsInProcess(const std::string& path) const;
  // Opens through the backend that owns the path; null when none does.
  std::unique_ptr<IUsbDevice> Open(const std::string& path);

 private:
  UsbHub() = default;
  std::shared_ptr<IUsbBackend> Real();

  mutable std::mutex mutex_;
  std::shared_ptr<IUsbBackend> sim_;
  bool exclusive_ = false;
  std::shared_ptr<IUsbBackend> real_;
  bool realTried_ = false;
};

}  // namespace vexcam::usb
