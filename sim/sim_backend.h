#pragma once
// The simulated cameras as a USB backend. One process-wide instance; the
// cameras are listed in the order they were added.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "transport/usb_access.h"

namespace vexcam::sim {

class SimBackend : public usb::IUsbBackend {
 public:
  static std::shared_ptr<SimBackend> Shared();
  static SimBackend& Instance() { return *Shared(); }

  // IUsbBackend: plugged cameras only.
  std::vector<usb::DeviceInfo> Enumerate() override;
  std::unique_ptr<usb::IUsbDevice> Open(const std::string& path) override;
  // Every path with a "sim-" location, also of a removed camera.
  bool Owns(const std::string& path) const override;

  // Adds a plugged-in camera; null for product id 0. Ids count from 1.
  std::shared_ptr<SimCamera> AddCamera(uint16_t productId);
  std::shared_ptr<SimCamera> Find(uint32_t id) const;
  std::vector<std::shared_ptr<SimCamera>> Cameras() const;
  // Unplugs and forgets every camera (open handles fail from then on); the
  // next camera gets id 1 again.
  void RemoveAll();
  // Speed-up of every present and future camera (see SimCamera::SetSpeedUp).
  void SetSpeedUp(uint32_t factor);

  // Makes the backend visible to device discovery through the USB hub.
  void Install(bool exclusive);

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimCamera>> cameras_;
  uint32_t nextId_ = 1;
  uint32_t speedUp_ = 1;
};

}  // namespace vexcam::sim
