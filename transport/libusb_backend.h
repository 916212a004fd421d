#pragma once
// Real cameras through libusb: one context per process, cameras recognised by
// vendor id and interface layout, one shared device handle per camera (with
// interface 0 claimed) however many IUsbDevice objects have it open.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/usb_access.h"

struct libusb_context;
struct libusb_device;

namespace vexcam::usb {

class LibusbSharedHandle;

class LibusbBackend : public IUsbBackend, public std::enable_shared_from_this<LibusbBackend> {
 public:
  // Null when libusb cannot be initialised (no USB access on this machine).
  static std::shared_ptr<LibusbBackend> Create();
  ~LibusbBackend() override;
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  std::vector<DeviceInfo> Enumerate() override;
  std::unique_ptr<IUsbDevice> Open(const std::string& path) override;
  // Paths whose location is a bus and port chain ("2-1.4").
  bool Owns(const std::string& path) const override;

  // Vendor ids of the cameras: 0x04B4 and those of "UsbVendorIds".
  static std::vector<uint16_t> VendorIds();
  // Ids listed in a REG_BINARY value of the product key in the settings
  // store (u16 little-endian): kVendorIdsValue or kProductIdsValue.
  static constexpr const char* kVendorIdsValue = "UsbVendorIds";
  static constexpr const char* kProductIdsValue = "UsbProductIds";
  static std::vector<uint16_t> SettingsIds(const char* valueName);
  // The location part of a device path ("" when the path has none).
  static std::string LocationOfPath(const std::string& path);
  static std::string LocationOf(libusb_device* device);

  libusb_context* Context() const { return ctx_; }

 private:
  explicit LibusbBackend(libusb_context* ctx) : ctx_(ctx) {}
  // From the device descriptor alone: a vendor id of ours and a camera's
  // product id, with the frame endpoint on interface 0. Opens nothing.
  static bool LooksLikeCamera(libusb_device* device, uint16_t* vendorId, uint16_t* productId);

  libusb_context* ctx_;
  std::mutex mutex_;                                                  // guards handles_
  std::map<std::string, std::weak_ptr<LibusbSharedHandle>> handles_;  // by path
};

}  // namespace vexcam::usb
