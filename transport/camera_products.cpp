#include "transport/camera_products.h"

#include <algorithm>
#include <mutex>

#include "transport/libusb_backend.h"

namespace vexcam::usb {
namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::vector<uint16_t>& Registered() {
  static std::vector<uint16_t> ids;
  return ids;
}

}  // namespace

void SetCameraProductIds(std::vector<uint16_t> ids) {
  std::lock_guard<std::mutex> lock(Lock());
  Registered() = std::move(ids);
}

bool IsCameraProductId(uint16_t productId) {
  {
    std::lock_guard<std::mutex> lock(Lock());
    const std::vector<uint16_t>& ids = Registered();
    if (std::find(ids.begin(), ids.end(), productId) != ids.end()) return true;
  }
  const std::vector<uint16_t> extra = LibusbBackend::SettingsIds(LibusbBackend::kProductIdsValue);
  return std::find(extra.begin(), extra.end(), productId) != extra.end();
}

}  // namespace vexcam::usb
