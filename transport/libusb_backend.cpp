#include "transport/libusb_backend.h"

#include <libusb.h>
#include <cctype>

#include "identity/build_identity.h"
#include "platform/settings_key.h"
#include "transport/camera_products.h"
#include "transport/libusb_device.h"
#include "transport/libusb_shared_handle.h"

namespace vexcam::usb {
namespace {

constexpr uint16_t kCameraVendorId = 0x04B4;
constexpr uint8_t kFrameEndpoint = 0x81;

struct DeviceListDeleter {
  void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};

struct ConfigDeleter {
  void operator()(libusb_config_descriptor* config) const { libusb_free_config_descriptor(config); }
};

bool ValidLocation(const std::string& location) {
  // "<bus>-<port>[.<port>...]"
  size_t i = 0;
  auto digits = [&]() {
    const size_t start = i;
    while (i < location.size() && std::isdigit(static_cast<unsigned char>(location[i]))) ++i;
    return i > start;
  };
  if (!digits() || i >= location.size() || location[i++] != '-' || !digits()) return false;
  while (i < location.size()) {
    if (location[i++] != '.' || !digits()) return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<LibusbBackend> LibusbBackend::Create() {
  libusb_context* ctx = nullptr;
  if (libusb_init(&ctx) != 0) return nullptr;
  return std::shared_ptr<LibusbBackend>(new LibusbBackend(ctx));
}

LibusbBackend::~LibusbBackend() { libusb_exit(ctx_); }

std::vector<uint16_t> LibusbBackend::SettingsIds(const char* valueName) {
  std::vector<uint16_t> ids;
  platform::SettingsKey root;
  platform::SettingsKey product;
  std::vector<uint8_t> raw;
  if (!root.OpenCurrentUser() || !product.Open(root, build::ProductKey()) ||
      !product.QueryBinary(valueName, &raw))
    return ids;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    const uint16_t id = static_cast<uint16_t>(raw[i] | raw[i + 1] << 8);
    if (id != 0) ids.push_back(id);
  }
  return ids;
}

std::vector<uint16_t> LibusbBackend::VendorIds() {
  std::vector<uint16_t> ids{kCameraVendorId};
  for (uint16_t id : SettingsIds(kVendorIdsValue)) ids.push_back(id);
  return ids;
}

std::string LibusbBackend::LocationOf(libusb_device* device) {
  uint8_t ports[8];
  const int n = libusb_get_port_numbers(device, ports, sizeof(ports));
  std::string location = std::to_string(libusb_get_bus_number(device)) + "-";
  if (n <= 0) return location + "0";
  for (int i = 0; i < n; ++i) {
    if (i > 0) location += '.';
    location += std::to_string(ports[i]);
  }
  return location;
}

std::string LibusbBackend::LocationOfPath(const std::string& path) {
  // \\?\usb#vid_xxxx&pid_yyyy#<location>#{guid}
  const size_t start = path.find('#', 8);
  const size_t end = path.rfind('#');
  if (path.compare(0, 8, "\\\\?\\usb#") != 0 || start == std::string::npos || end <= start)
    return "";
  return path.substr(start + 1, end - start - 1);
}

bool LibusbBackend::Owns(const std::string& path) const {
  return ValidLocation(LocationOfPath(path));
}

bool LibusbBackend::LooksLikeCamera(libusb_device* device, uint16_t* vendorId,
                                    uint16_t* productId) {
  libusb_device_descriptor desc{};
  if (libusb_get_device_descriptor(device, &desc) != 0) return false;
  bool known = false;
  for (uint16_t id : VendorIds()) known = known || id == desc.idVendor;
  if (!known || !IsCameraProductId(desc.idProduct)) return false;
  // Interface 0 must carry the bulk IN endpoint of the frame data.
  libusb_config_descriptor* raw = nullptr;
  if (libusb_get_active_config_descriptor(device, &raw) != 0 || raw == nullptr) return false;
  std::unique_ptr<libusb_config_descriptor, ConfigDeleter> config(raw);
  if (config->bNumInterfaces < 1 || config->interface[0].num_altsetting < 1) return false;
  const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
  bool frameEndpoint = false;
  for (int e = 0; e < alt.bNumEndpoints; ++e) {
    const libusb_endpoint_descriptor& ep = alt.endpoint[e];
    frameEndpoint = frameEndpoint || (ep.bEndpointAddress == kFrameEndpoint &&
                                      (ep.bmAttributes & 0x3) == LIBUSB_TRANSFER_TYPE_BULK);
  }
  if (!frameEndpoint) return false;
  *vendorId = desc.idVendor;
  *productId = desc.idProduct;
  return true;
}

std::vector<DeviceInfo> LibusbBackend::Enumerate() {
  std::vector<DeviceInfo> devices;
  libusb_device** raw = nullptr;
  const ssize_t n = libusb_get_device_list(ctx_, &raw);
  if (n < 0) return devices;
  std::unique_ptr<libusb_device*, DeviceListDeleter> list(raw);
  for (ssize_t i = 0; i < n; ++i) {
    DeviceInfo info;
    if (!LooksLikeCamera(raw[i], &info.vendorId, &info.productId)) continue;
    info.path = MakeDevicePath(info.vendorId, info.productId, LocationOf(raw[i]));
    if (info.path.size() >= 260) continue;  // too long for a table record
    devices.push_back(std::move(info));
  }
  return devices;
}

std::unique_ptr<IUsbDevice> LibusbBackend::Open(const std::string& path) {
  const std::string location = LocationOfPath(path);
  if (!ValidLocation(location)) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  // Keyed by the whole path: a handle open on this port is shared only with
  // paths that name the same model.
  if (auto shared = handles_[path].lock()) {
    if (!shared->Gone()) return std::make_unique<LibusbDevice>(shared);
  }
  libusb_device** raw = nullptr;
  const ssize_t n = libusb_get_device_list(ctx_, &raw);
  if (n < 0) return nullptr;
  std::unique_ptr<libusb_device*, DeviceListDeleter> list(raw);
  for (ssize_t i = 0; i < n; ++i) {
    uint16_t vid = 0;
    uint16_t pid = 0;
    if (LocationOf(raw[i]) != location || !LooksLikeCamera(raw[i], &vid, &pid)) continue;
    // The same port may now hold another model.
    if (MakeDevicePath(vid, pid, location) != path) return nullptr;
    libusb_device_handle* handle = nullptr;
    if (libusb_open(raw[i], &handle) != 0) return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (libusb_claim_interface(handle, 0) != 0) {
      libusb_close(handle);
      return nullptr;
    }
    auto shared = std::make_shared<LibusbSharedHandle>(shared_from_this(), handle);
    handles_[path] = shared;
    return std::make_unique<LibusbDevice>(shared);
  }
  return nullptr;
}

}  // namespace vexcam::usb
