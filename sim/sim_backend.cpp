#include "sim/sim_backend.h"

#include "sim/sim_device.h"
#include "transport/usb_hub.h"

namespace vexcam::sim {

std::shared_ptr<SimBackend> SimBackend::Shared() {
  static const std::shared_ptr<SimBackend> backend = std::make_shared<SimBackend>();
  return backend;
}

std::vector<usb::DeviceInfo> SimBackend::Enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<usb::DeviceInfo> out;
  for (const auto& camera : cameras_) {
    if (!camera->IsPlugged()) continue;
    out.push_back({camera->Path(), kSimVendorId, camera->ProductId()});
  }
  return out;
}

std::unique_ptr<usb::IUsbDevice> SimBackend::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (const auto& camera : cameras_) {
    if (camera->Path() != path) continue;
    const uint32_t generation = camera->Generation();
    if (!camera->IsPlugged()) return nullptr;
    return std::make_unique<SimDevice>(camera, generation);
  }
  return nullptr;
}

bool SimBackend::Owns(const std::string& path) const {
  return path.find("#sim-") != std::string::npos;
}

std::shared_ptr<SimCamera> SimBackend::AddCamera(uint16_t productId) {
  if (productId == 0) return nullptr;
  std::lock_guard lock(mutex_);
  auto camera = std::make_shared<SimCamera>(nextId_++, productId);
  camera->SetSpeedUp(speedUp_);
  cameras_.push_back(camera);
  return camera;
}

std::shared_ptr<SimCamera> SimBackend::Find(uint32_t id) const {
  std::lock_guard lock(mutex_);
  for (const auto& camera : cameras_)
    if (camera->Id() == id) return camera;
  return nullptr;
}

std::vector<std::shared_ptr<SimCamera>> SimBackend::Cameras() const {
  std::lock_guard lock(mutex_);
  return cameras_;
}

void SimBackend::RemoveAll() {
  std::vector<std::shared_ptr<SimCamera>> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(cameras_);
    nextId_ = 1;
  }
  for (const auto& camera : removed) camera->Unplug();
}

void SimBackend::SetSpeedUp(uint32_t factor) {
  std::lock_guard lock(mutex_);
  speedUp_ = factor == 0 ? 1 : factor;
  for (const auto& camera : cameras_) camera->SetSpeedUp(speedUp_);
}

void SimBackend::Install(bool exclusive) {
  usb::UsbHub::Instance().SetSimulator(Shared(), exclusive);
}

}  // namespace vexcam::sim
