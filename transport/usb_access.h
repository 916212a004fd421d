#pragma once
// The USB access layer: the few operations the transport needs from a USB
// stack, with two implementations (libusb for real cameras, the simulated
// camera in sim/). Everything above this interface is backend-agnostic.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexcam::usb {

// Device interface path format shared by both backends:
//   \\?\usb#vid_XXXX&pid_YYYY#<location>#{328184c5-93e6-49b7-94b8-2ada13aabb39}
// Lower-case hex ids at characters 12..15 and 21..24. <location> is stable for
// a physical port (real devices: "bus-port.port..."; simulated: "sim-<id>").
inline constexpr char kInterfaceGuidText[] = "{328184c5-93e6-49b7-94b8-2ada13aabb39}";
std::string MakeDevicePath(uint16_t vendorId, uint16_t productId, const std::string& location);

// BulkTransfer time-out that waits without limit (until done or cancelled).
inline constexpr uint32_t kInfiniteTimeout = 0xFFFFFFFF;

struct DeviceInfo {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

enum class TransferStatus : uint32_t {
  kCompleted = 0,
  kTimedOut,
  kCancelled,
  kStalled,
  kNoDevice,
  kError,
};

struct TransferResult {
  TransferStatus status = TransferStatus::kError;
  uint32_t transferred = 0;   // bytes moved, also when the transfer did not complete
  uint32_t deviceStatus = 0;  // non-zero when the device ended the transfer with an error status
};

// One open device. All operations may be called from several threads at once;
// CancelPending() is meant to be called from another thread than the one
// blocked in BulkTransfer().
class IUsbDevice {
 public:
  virtual ~IUsbDevice() = default;

  // Control transfer on endpoint 0. Returns bytes transferred, or -1 on failure.
  virtual int ControlTransfer(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                              uint8_t* data, uint16_t length, uint32_t timeoutMs) = 0;
  // Bulk transfer; direction from the endpoint address (bit 7 set = IN).
  // Blocks until complete, timed out, cancelled or failed.
  virtual TransferResult BulkTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                                      uint32_t timeoutMs) = 0;
  // Cancels every pending bulk transfer on the endpoint; the blocked callers
  // return kCancelled. Returns false when the device is gone.
  virtual bool CancelPending(uint8_t endpoint) = 0;
  virtual bool ClearHalt(uint8_t endpoint) = 0;
  virtual bool ResetPort() = 0;
  // Link speed code; 4 means SuperSpeed.
  virtual bool GetSpeed(uint32_t* code) = 0;
};

class IUsbBackend {
 public:
  virtual ~IUsbBackend() = default;
  // Devices present now, in a stable order.
  virtual std::vector<DeviceInfo> Enumerate() = 0;
  // Opens a device by path; null when the path is unknown or cannot be opened.
  virtual std::unique_ptr<IUsbDevice> Open(const std::string& path) = 0;
  // True when the path belongs to this backend.
  virtual bool Owns(const std::string& path) const = 0;
};

}  // namespace vexcam::usb
