#pragma once
// The lower half of the transport: discovery into the shared device table,
// opening the selected camera, endpoint-0 vendor requests, pipe and port
// resets, the link speed and the 64 MiB transfer buffer.
//
// Every vendor request moves the 64-byte data area (wLength 64) on a handle
// opened for that request alone, with a 3000 ms time-out. Unset data bytes
// are 0. Results: non-zero on success, 0 on failure.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/device_table.h"
#include "transport/usb_access.h"

namespace vexcam {

// Vendor request types.
inline constexpr uint8_t kReqTypeOut = 0x40;          // vendor, host-to-device, device
inline constexpr uint8_t kReqTypeIn = 0xC0;           // vendor, device-to-host, device
inline constexpr uint8_t kReqTypeOutEndpoint = 0x42;  // vendor, host-to-device, endpoint

// Vendor request codes.
inline constexpr uint8_t kReqSerialWrite = 0x30;
inline constexpr uint8_t kReqSerialRead = 0x31;
inline constexpr uint8_t kReqCommandByteWrite = 0x3C;
inline constexpr uint8_t kReqCommandByteRead = 0x3D;
inline constexpr uint8_t kReqControllerPair = 0x3E;
inline constexpr uint8_t kReqControllerValue = 0x3F;
inline constexpr uint8_t kReqInfoBlockA = 0xB0;
inline constexpr uint8_t kReqInfoBlockB = 0xB1;
inline constexpr uint8_t kReqStreamRestart = 0xC0;
inline constexpr uint8_t kReqFrame = 0xC2;
inline constexpr uint8_t kReqStatus = 0xC3;
inline constexpr uint8_t kReqCC = 0xCC;
inline constexpr uint8_t kReqControllerWordWrite = 0xD0;
inline constexpr uint8_t kReqControllerWordRead = 0xD1;

inline constexpr uint32_t kVendorDataBytes = 64;
// wLength of every vendor request: the camera's firmware expects the whole
// request record (38 bytes) plus the data area, whatever the request carries.
inline constexpr uint16_t kVendorRequestLength = 102;
inline constexpr uint32_t kVendorTimeoutMs = 3000;

// Endpoints.
inline constexpr uint8_t kEpFrameIn = 0x81;     // headers, frame data, memory reads
inline constexpr uint8_t kEpAltIn = 0x83;       // whole frames of the alternate frame path
inline constexpr uint8_t kEpCommandOut = 0x01;  // memory commands and writes

// Largest single bulk transfer and the transfer buffer (64 MiB + the 38-byte
// transfer record that heads it).
inline constexpr uint32_t kMaxTransferBytes = 0x4000000;
inline constexpr uint32_t kTransferRecordBytes = 38;
inline constexpr uint32_t kTransferBufferBytes = kMaxTransferBytes + kTransferRecordBytes;

// Link speed code of SuperSpeed.
inline constexpr uint32_t kSpeedSuper = 4;

class CFx3Api {
 public:
  // guid: optional device interface class (four u32); recorded only, since
  // the USB access layer finds cameras by vendor id.
  explicit CFx3Api(const uint32_t* guid = nullptr);
  virtual ~CFx3Api();
  CFx3Api(const CFx3Api&) = delete;
  CFx3Api& operator=(const CFx3Api&) = delete;

  // Discovery pass; returns the table's entry count.
  uint32_t EnumerateDevices();
  // Paths of the devices present now, without opening them or touching the
  // table (for watching arrivals and removals).
  static std::vector<std::string> PresentDevicePaths();
  // Sets up the process's USB access now: a static object that enumerates
  // from its own thread calls this in its constructor, so that the access
  // outlives it.
  static void EnsureUsbAccess();
  // False when the selected device is emulated in this process: it makes its
  // frames on the reading thread, which at real-time priority would take a
  // whole core from the application.
  bool SelectedAllowsRealtimeReader() const;
  // index below the entry count and its device opens now (closed at once).
  uint32_t IsDeviceOpenable(uint32_t index);
  // Opens the device of a table index; null when the index is unknown or
  // the device does not open.
  std::unique_ptr<usb::IUsbDevice> OpenDevice(uint32_t index) const;

  // One endpoint-0 request on a fresh handle to the selected device. data is
  // the 64-byte area (sent for OUT requests, filled for IN requests; may be
  // null for an OUT request of zeros). dataReturned receives the data bytes
  // that moved.
  uint32_t SendVendorRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                             uint8_t* data, uint32_t* dataReturned);
  // The same on a handle the caller holds.
  uint32_t SendVendorRequestOn(usb::IUsbDevice* handle, uint8_t requestType, uint8_t request,
                               uint16_t value, uint16_t index, uint8_t* data,
                               uint32_t* dataReturned);

  uint32_t ResetPipe(uint8_t endpoint);
  uint32_t ResetDevicePort();
  uint32_t GetBusSpeed(uint32_t* code);
  // Allocates the transfer buffer when missing, then resets the device port;
  // fails only when the allocation fails.
  uint32_t PrepareTransferBuffer();
  bool HasTransferBuffer() const { return transferBuffer_ != nullptr; }
  void FreeTransferBuffer();

  // Fixed-purpose requests of the vendor request table.
  uint32_t ReadDeviceInfoA(uint8_t* block64);  // 0xB0, exactly 64 bytes
  uint32_t ReadDeviceInfoB(uint8_t* block64);  // 0xB1, exactly 64 bytes
  uint32_t SendStreamRestart();                // 0xC0
  uint32_t ReadStatusByte(uint8_t* status);    // 0xC3, byte 0 of 64

  // Device table.
  uint32_t DeviceCount() const;
  uint32_t GetDeviceRecord(uint32_t index, DeviceRecord* record) const;
  uint32_t SelectedIndex() const { return selectedIndex_.load(); }
  // Product id of the selected device's record (0 when none).
  uint16_t SelectedProductId() const { return selectedProductId_.load(); }
  const uint32_t* Guid() const { return guid_; }
  // errno-style code of the most recent direct transfer that did not complete
  // (ETIMEDOUT, ECANCELED, ENODEV, EPIPE, EIO; 0 when it did); meaningful
  // right after a transfer on the same thread.
  uint32_t LastIoError() const { return lastIoError_.load(); }

 protected:
  // Sets the selection without any check (used by SelectDevice).
  void SetSelection(uint32_t index);
  uint8_t* TransferBuffer() { return transferBuffer_.get(); }

  std::atomic<uint32_t> lastIoError_{0};

 private:
  std::shared_ptr<CDeviceTable> table_;
  std::atomic<uint32_t> selectedIndex_{0};
  std::atomic<uint16_t> selectedProductId_{0};
  uint32_t guid_[4] = {};
  std::unique_ptr<uint8_t[]> transferBuffer_;
};

}  // namespace vexcam
