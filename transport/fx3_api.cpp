#include "transport/fx3_api.h"

#include <cstring>
#include <new>
#include <vector>

#include "transport/usb_hub.h"

namespace vexcam {
namespace {

// The device interface class used when the caller gives none.
constexpr uint32_t kDefaultGuid[4] = {0x328184C5u, 0x49B793E6u, 0xDA2AB894u, 0x39BBAA13u};

}  // namespace

CFx3Api::CFx3Api(const uint32_t* guid) : table_(CDeviceTable::Attach()) {
  std::memcpy(guid_, guid != nullptr ? guid : kDefaultGuid, sizeof(guid_));
  table_->AddLiveObject();
}

CFx3Api::~CFx3Api() { table_->RemoveLiveObject(); }

uint32_t CFx3Api::EnumerateDevices() {
  // Devices that do not open now are left out of this pass, as are paths too
  // long for a record.
  std::vector<std::string> paths;
  auto& hub = usb::UsbHub::Instance();
  for (const usb::DeviceInfo& info : hub.Enumerate()) {
    if (info.path.size() >= kDevicePathCapacity) continue;
    if (hub.Open(info.path) == nullptr) continue;
    paths.push_back(info.path);
  }
  return table_->AddDevices(paths);
}

std::vector<std::string> CFx3Api::PresentDevicePaths() {
  std::vector<std::string> paths;
  for (const usb::DeviceInfo& info : usb::UsbHub::Instance().Enumerate())
    paths.push_back(info.path);
  return paths;
}

void CFx3Api::EnsureUsbAccess() { usb::UsbHub::Instance(); }

bool CFx3Api::SelectedAllowsRealtimeReader() const {
  DeviceRecord record;
  if (!table_->Record(SelectedIndex(), &record)) return true;
  return !usb::UsbHub::Instance().IsInProcess(record.path);
}

std::unique_ptr<usb::IUsbDevice> CFx3Api::OpenDevice(uint32_t index) const {
  DeviceRecord record;
  if (!table_->Record(index, &record)) return nullptr;
  return usb::UsbHub::Instance().Open(record.path);
}

uint32_t CFx3Api::IsDeviceOpenable(uint32_t index) { return OpenDevice(index) != nullptr ? 1 : 0; }

uint32_t CFx3Api::SendVendorRequestOn(usb::IUsbDevice* handle, uint8_t requestType, uint8_t request,
                                      uint16_t value, uint16_t index, uint8_t* data,
                                      uint32_t* dataReturned) {
  if (dataReturned != nullptr) *dataReturned = 0;
  if (handle == nullptr) return 0;
  // The data stage is sized for the full request length; callers see the
  // 64-byte data area only.
  uint8_t area[kVendorRequestLength] = {};
  const bool in = (requestType & 0x80) != 0;
  if (!in && data != nullptr) std::memcpy(area, data, kVendorDataBytes);
  const int moved = handle->ControlTransfer(requestType, request, value, index, area,
                                            kVendorRequestLength, kVendorTimeoutMs);
  if (moved < 0) return 0;
  const uint32_t count = static_cast<uint32_t>(moved) > kVendorDataBytes
                             ? kVendorDataBytes
                             : static_cast<uint32_t>(moved);
  if (in && data != nullptr) std::memcpy(data, area, kVendorDataBytes);
  if (dataReturned != nullptr) *dataReturned = count;
  return 1;
}

uint32_t CFx3Api::SendVendorRequest(uint8_t requestType, uint8_t request, uint16_t value,
                                    uint16_t index, uint8_t* data, uint32_t* dataReturned) {
  if (dataReturned != nullptr) *dataReturned = 0;
  std::unique_ptr<usb::IUsbDevice> handle = OpenDevice(SelectedIndex());
  return SendVendorRequestOn(handle.get(), requestType, request, value, index, data, dataReturned);
}

uint32_t CFx3Api::ResetPipe(uint8_t endpoint) {
  std::unique_ptr<usb::IUsbDevice> handle = OpenDevice(SelectedIndex());
  return handle != nullptr && handle->ClearHalt(endpoint) ? 1 : 0;
}

uint32_t CFx3Api::ResetDevicePort() {
  std::unique_ptr<usb::IUsbDevice> handle = OpenDevice(SelectedIndex());
  return handle != nullptr && handle->ResetPort() ? 1 : 0;
}

uint32_t CFx3Api::GetBusSpeed(uint32_t* code) {
  if (code == nullptr) return 0;
  std::unique_ptr<usb::IUsbDevice> handle = OpenDevice(SelectedIndex());
  uint32_t speed = 0;
  if (handle == nullptr || !handle->GetSpeed(&speed)) return 0;
  *code = speed;
  return 1;
}

uint32_t CFx3Api::PrepareTransferBuffer() {
  if (transferBuffer_ == nullptr) {
    // Untouched pages cost nothing until the buffered transfer uses them.
    transferBuffer_.reset(new (std::nothrow) uint8_t[kTransferBufferBytes]);
    if (transferBuffer_ == nullptr) return 0;
  }
  ResetDevicePort();  // its result does not matter to the caller
  return 1;
}

void CFx3Api::FreeTransferBuffer() { transferBuffer_.reset(); }

uint32_t CFx3Api::ReadDeviceInfoA(uint8_t* block64) {
  if (block64 == nullptr) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqInfoBlockA, 0, 0, area, &got) || got != kVendorDataBytes)
    return 0;
  std::memcpy(block64, area, sizeof(area));
  return 1;
}

uint32_t CFx3Api::ReadDeviceInfoB(uint8_t* block64) {
  if (block64 == nullptr) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqInfoBlockB, 0, 0, area, &got) || got != kVendorDataBytes)
    return 0;
  std::memcpy(block64, area, sizeof(area));
  return 1;
}

uint32_t CFx3Api::SendStreamRestart() {
  return SendVendorRequest(kReqTypeOut, kReqStreamRestart, 0, 0, nullptr, nullptr);
}

uint32_t CFx3Api::ReadStatusByte(uint8_t* status) {
  if (status == nullptr) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqStatus, 0, 0, area, &got) || got != kVendorDataBytes)
    return 0;
  *status = area[0];
  return 1;
}

uint32_t CFx3Api::DeviceCount() const { return table_->Count(); }

uint32_t CFx3Api::GetDeviceRecord(uint32_t index, DeviceRecord* record) const {
  return table_->Record(index, record) ? 1 : 0;
}

void CFx3Api::SetSelection(uint32_t index) {
  DeviceRecord record;
  selectedProductId_.store(table_->Record(index, &record) ? record.productId : 0);
  selectedIndex_.store(index);
}

}  // namespace vexcam
