#include "usbmock/usb_mock_device.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace vexcam::test {
namespace {

// What the node claims the kernel can do: whole bulk transfers in one URB.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_BULK_SCATTER_GATHER;
// A bulk read waits in slices so that a discard that lands just before the
// camera starts waiting is still seen.
constexpr uint32_t kSliceMs = 10;
// Pipe buffers are whole pages: draining one makes the FIFO writable.
constexpr size_t kPage = 4096;
constexpr size_t kSetupBytes = 8;

// Owned reference to resolved ioctl data.
struct Unref {
  void operator()(UMockdevIoctlData* d) const { g_object_unref(d); }
};
using DataRef = std::unique_ptr<UMockdevIoctlData, Unref>;

UMockdevIoctlData* Resolve(UMockdevIoctlData* parent, size_t offset, size_t length) {
  GError* error = nullptr;
  UMockdevIoctlData* child = umockdev_ioctl_data_resolve(parent, offset, length, &error);
  if (error != nullptr) {
    g_error_free(error);
    if (child != nullptr) g_object_unref(child);
    return nullptr;
  }
  return child;
}

unsigned long ArgWord(UMockdevIoctlData* arg) {
  unsigned long word = 0;
  if (arg != nullptr && arg->data != nullptr && arg->data_len >= static_cast<int>(sizeof(word)))
    std::memcpy(&word, arg->data, sizeof(word));
  return word;
}

uint32_t ArgU32(UMockdevIoctlData* arg, bool* ok) {
  DataRef value(Resolve(arg, 0, sizeof(uint32_t)));
  uint32_t v = 0;
  *ok = value != nullptr && value->data != nullptr;
  if (*ok) std::memcpy(&v, value->data, sizeof(v));
  return v;
}

constexpr auto Answer = umockdev_ioctl_client_complete;

int UrbStatusOf(const usb::TransferResult& result) {
  switch (result.status) {
    case usb::TransferStatus::kCompleted:
      return result.deviceStatus == 0 ? 0 : -EPROTO;
    case usb::TransferStatus::kTimedOut:
    case usb::TransferStatus::kCancelled:
      return -ENOENT;
    case usb::TransferStatus::kStalled:
      return -EPIPE;
    case usb::TransferStatus::kNoDevice:
      return -ENODEV;
    case usb::TransferStatus::kError:
      break;
  }
  return -EPROTO;
}

constexpr uint16_t kHubVendorId = 0x05E3;
constexpr uint16_t kHubProductId = 0x0620;

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void DeviceDescriptor(std::vector<uint8_t>& out, uint8_t deviceClass, uint16_t vid, uint16_t pid) {
  out.insert(out.end(), {18, 1});
  PutU16(out, 0x0300);                            // bcdUSB
  out.insert(out.end(), {deviceClass, 0, 0, 9});  // class, subclass, protocol, 2^9-byte EP0
  PutU16(out, vid);
  PutU16(out, pid);
  PutU16(out, 0x0100);
  out.insert(out.end(), {0, 0, 0, 1});  // no strings, one configuration
}

// One configuration, interface 0 with the given endpoints (address, type,
// max packet), each followed by its SuperSpeed companion.
void Configuration(std::vector<uint8_t>& out, uint8_t interfaceClass,
                   const std::vector<std::array<uint16_t, 3>>& endpoints) {
  const uint16_t total = static_cast<uint16_t>(9 + 9 + endpoints.size() * (7 + 6));
  out.insert(out.end(), {9, 2});
  PutU16(out, total);
  out.insert(out.end(), {1, 1, 0, 0x80, 50});
  const uint8_t count = static_cast<uint8_t>(endpoints.size());
  out.insert(out.end(), {9, 4, 0, 0, count, interfaceClass, 0, 0, 0});
  for (const auto& ep : endpoints) {
    out.insert(out.end(), {7, 5, static_cast<uint8_t>(ep[0]), static_cast<uint8_t>(ep[1])});
    PutU16(out, ep[2]);
    out.push_back(ep[1] == 3 ? 8 : 0);  // interval (interrupt only)
    out.insert(out.end(), {6, 0x30, static_cast<uint8_t>(ep[1] == 2 ? 15 : 0), 0, 0, 0});
  }
}

std::string Line(const std::string& text) { return text + "\n"; }

std::string Hex4(uint16_t v) {
  char text[8];
  std::snprintf(text, sizeof(text), "%04x", v);
  return text;
}

std::string DevNodeOf(uint8_t bus, uint8_t devnum) {
  char text[32];
  std::snprintf(text, sizeof(text), "/dev/bus/usb/%03u/%03u", bus, devnum);
  return text;
}

}  // namespace

UsbMockDevice::Urb::~Urb() {
  if (urbData != nullptr) g_object_unref(urbData);
  if (bufferData != nullptr) g_object_unref(bufferData);
}

uint8_t* UsbMockDevice::Urb::Buffer() const {
  return bufferData != nullptr ? bufferData->data : nullptr;
}

UsbMockDevice::UsbMockDevice(UMockdevTestbed* testbed, std::shared_ptr<sim::SimCamera> camera,
                             const std::string& nodePath, const std::string& devNode)
    : camera_(std::move(camera)),
      generation_(camera_->Generation()),
      nodePath_(nodePath),
      devNode_(devNode),
      testbed_(testbed) {
  // A regular file would always poll writable and keep libusb's event loop
  // spinning; a full FIFO does not.
  unlink(nodePath_.c_str());
  if (mkfifo(nodePath_.c_str(), 0666) != 0) return;
  fifo_ = open(nodePath_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fifo_ < 0) return;
  SignalReadyLocked(false);
  for (uint8_t ep : kMockBulkEndpoints) {
    queues_[ep];
    workers_.emplace_back([this, ep] { EndpointLoop(ep); });
  }
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbMockDevice::OnHandleIoctl), this);
  GError* error = nullptr;
  attached_ = umockdev_testbed_attach_ioctl(testbed_, devNode_.c_str(), handler_, &error);
  if (error != nullptr) g_error_free(error);
}

UsbMockDevice::~UsbMockDevice() {
  if (attached_) {
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(testbed_, devNode_.c_str(), &error);
    if (error != nullptr) g_error_free(error);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    for (uint8_t ep : kMockBulkEndpoints) camera_->CancelPending(generation_, ep);
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
  if (handler_ != nullptr) {
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
  }
  inFlight_.clear();
  done_.clear();
  queues_.clear();
  if (fifo_ >= 0) close(fifo_);
  unlink(nodePath_.c_str());
}

void UsbMockDevice::Unplug() {
  std::lock_guard<std::mutex> lock(mutex_);
  unplugged_ = true;
  camera_->Unplug();  // wakes the reads blocked in the camera
  for (auto& [ep, queue] : queues_) {
    for (const std::shared_ptr<Urb>& urb : queue) {
      urb->status = -ENODEV;
      CompleteLocked(urb);
    }
    queue.clear();
  }
}

uint32_t UsbMockDevice::RequestCount(unsigned long request) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = counts_.find(request);
  return it == counts_.end() ? 0 : it->second;
}

std::vector<unsigned long> UsbMockDevice::UnknownRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unknown_;
}

size_t UsbMockDevice::UrbsInFlight() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return inFlight_.size();
}

// ---- FIFO readiness ---------------------------------------------------------

void UsbMockDevice::SignalReadyLocked(bool ready) {
  uint8_t page[kPage] = {};
  if (ready) {
    if (!signalled_ && read(fifo_, page, sizeof(page)) > 0) signalled_ = true;
    return;
  }
  while (write(fifo_, page, sizeof(page)) == static_cast<ssize_t>(sizeof(page))) {}
  signalled_ = false;
}

void UsbMockDevice::CompleteLocked(const std::shared_ptr<Urb>& urb) {
  urb->state = UrbState::kDone;
  done_.push_back(urb);
  SignalReadyLocked(true);
}

// ---- ioctls -------------------------------------------------------------------

int UsbMockDevice::OnHandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  return static_cast<UsbMockDevice*>(self)->HandleIoctl(client);
}

int UsbMockDevice::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  bool unplugged = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[request];
    unplugged = unplugged_;
  }
  switch (request) {
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
      return TRUE;
    case USBDEVFS_REAPURBNDELAY:
      Reap(client, arg);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      Discard(client, arg);
      return TRUE;
    default:
      break;
  }
  if (unplugged) {
    Answer(client, -1, ENODEV);
    return TRUE;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      DataRef caps(Resolve(arg, 0, sizeof(uint32_t)));
      if (caps == nullptr) {
        Answer(client, -1, EFAULT);
        break;
      }
      std::memcpy(caps->data, &kCapabilities, sizeof(kCapabilities));
      Answer(client, 0, 0);
      break;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:  // the interface is the claim record's first field
    case USBDEVFS_RELEASEINTERFACE: {
      if (request != USBDEVFS_RELEASEINTERFACE) ++claims_;
      bool ok = false;
      const uint32_t iface = ArgU32(arg, &ok);
      Answer(client, ok && iface == 0 ? 0 : -1, ok && iface == 0 ? 0 : EINVAL);
      break;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
      // No kernel driver is bound to the interface, so none to ask for or
      // to connect again.
      Answer(client, -1, ENODATA);
      break;
    case USBDEVFS_CLEAR_HALT: {
      bool ok = false;
      const uint32_t ep = ArgU32(arg, &ok);
      const bool done = ok && camera_->ClearHalt(generation_, static_cast<uint8_t>(ep));
      Answer(client, done ? 0 : -1, done ? 0 : (ok ? ENODEV : EFAULT));
      break;
    }
    case USBDEVFS_RESET: {
      const bool done = camera_->ResetPort(generation_);
      Answer(client, done ? 0 : -1, done ? 0 : ENODEV);
      break;
    }
    default: {
      std::lock_guard<std::mutex> lock(mutex_);
      unknown_.push_back(request);
      Answer(client, -1, ENOTTY);
      break;
    }
  }
  return TRUE;
}

void UsbMockDevice::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  DataRef urbData(Resolve(arg, 0, sizeof(usbdevfs_urb)));
  if (urbData == nullptr) {
    Answer(client, -1, EFAULT);
    return;
  }
  usbdevfs_urb header{};
  std::memcpy(&header, urbData->data, sizeof(header));
  auto urb = std::make_shared<Urb>();
  urb->address = urbData->client_addr;
  urb->type = header.type;
  urb->endpoint = header.endpoint;
  urb->length = header.buffer_length > 0 ? static_cast<uint32_t>(header.buffer_length) : 0;
  if (urb->length > 0) {
    urb->bufferData = Resolve(urbData.get(), offsetof(usbdevfs_urb, buffer), urb->length);
    if (urb->bufferData == nullptr || urb->bufferData->data == nullptr) {
      Answer(client, -1, EFAULT);
      return;
    }
  }
  urb->urbData = urbData.release();

  const bool control = urb->type == USBDEVFS_URB_TYPE_CONTROL;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (unplugged_) {
      error = ENODEV;
    } else if (inFlight_.count(urb->address) != 0) {
      error = EBUSY;
    } else if (control) {
      error = urb->length < kSetupBytes ? EINVAL : 0;
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && queues_.count(urb->endpoint) != 0) {
      inFlight_[urb->address] = urb;
      queues_[urb->endpoint].push_back(urb);
      wake_.notify_all();
    } else {
      error = urb->type == USBDEVFS_URB_TYPE_BULK ? ENOENT : EINVAL;
    }
  }
  if (control && error == 0) {
    // The camera model answers control requests at once.
    urb->status = RunControl(*urb);
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight_[urb->address] = urb;
    CompleteLocked(urb);
  }
  Answer(client, error == 0 ? 0 : -1, error);
}

int UsbMockDevice::RunControl(Urb& urb) {
  uint8_t* setup = urb.Buffer();
  const uint8_t requestType = setup[0];
  const uint8_t request = setup[1];
  const uint16_t value = static_cast<uint16_t>(setup[2] | setup[3] << 8);
  const uint16_t index = static_cast<uint16_t>(setup[4] | setup[5] << 8);
  const uint16_t wLength = static_cast<uint16_t>(setup[6] | setup[7] << 8);
  if (wLength > urb.length - kSetupBytes) return -EINVAL;
  const int rc = camera_->ControlTransfer(generation_, requestType, request, value, index,
                                          setup + kSetupBytes, wLength);
  if (rc < 0) return camera_->IsPlugged() ? -EPIPE : -ENODEV;
  urb.actual = static_cast<uint32_t>(rc);
  return 0;
}

void UsbMockDevice::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  DataRef target(Resolve(arg, 0, sizeof(void*)));
  if (target == nullptr) {
    Answer(client, -1, EFAULT);
    return;
  }
  std::shared_ptr<Urb> urb;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (done_.empty()) {
      SignalReadyLocked(false);
      Answer(client, -1, unplugged_ ? ENODEV : EAGAIN);
      return;
    }
    urb = done_.front();
    done_.pop_front();
    inFlight_.erase(urb->address);
    if (done_.empty()) SignalReadyLocked(false);
  }
  usbdevfs_urb header{};
  std::memcpy(&header, urb->urbData->data, sizeof(header));
  header.status = urb->status;
  header.actual_length = static_cast<int>(urb->actual);
  std::memcpy(urb->urbData->data, &header, sizeof(header));
  umockdev_ioctl_data_set_ptr(target.get(), 0, urb->urbData);
  Answer(client, 0, 0);
}

void UsbMockDevice::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  const unsigned long address = ArgWord(arg);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = inFlight_.find(address);
  if (it == inFlight_.end() || it->second->state == UrbState::kDone) {
    Answer(client, -1, EINVAL);  // already complete: it waits to be reaped
    return;
  }
  std::shared_ptr<Urb> urb = it->second;
  urb->discarded = true;
  if (urb->state == UrbState::kQueued) {
    auto& queue = queues_[urb->endpoint];
    queue.erase(std::remove(queue.begin(), queue.end(), urb), queue.end());
    urb->status = -ENOENT;
    CompleteLocked(urb);
  } else {
    camera_->CancelPending(generation_, urb->endpoint);
  }
  Answer(client, 0, 0);
}

// ---- bulk endpoints -----------------------------------------------------------

void UsbMockDevice::EndpointLoop(uint8_t endpoint) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return stop_ || !queues_[endpoint].empty(); });
    if (stop_) return;
    std::shared_ptr<Urb> urb = queues_[endpoint].front();
    queues_[endpoint].pop_front();
    urb->state = UrbState::kRunning;
    usb::TransferResult result;
    result.status = usb::TransferStatus::kTimedOut;
    while (!urb->discarded && !stop_ && !unplugged_) {
      lock.unlock();
      result = camera_->BulkTransfer(generation_, endpoint, urb->Buffer(), urb->length, kSliceMs);
      lock.lock();
      if (result.status != usb::TransferStatus::kTimedOut) break;
    }
    if (unplugged_ && result.status == usb::TransferStatus::kTimedOut)
      result.status = usb::TransferStatus::kNoDevice;
    urb->status = UrbStatusOf(result);
    urb->actual = result.transferred;
    CompleteLocked(urb);
  }
}

// ---- the testbed ---------------------------------------------------------------

std::unique_ptr<UsbMockBed> UsbMockBed::Create() {
  // The check only answers true once a testbed exists (and keeps its first
  // answer), so the testbed comes first.
  UMockdevTestbed* testbed = umockdev_testbed_new();
  if (testbed == nullptr) return nullptr;
  if (!umockdev_in_mock_environment()) {
    g_object_unref(testbed);
    return nullptr;
  }
  return std::unique_ptr<UsbMockBed>(new UsbMockBed(testbed));
}

UsbMockBed::~UsbMockBed() {
  entries_.clear();  // detaches the handlers before the testbed goes
  g_object_unref(testbed_);
}

std::string UsbMockBed::Root() const {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  std::string text = root != nullptr ? root : "";
  g_free(root);
  return text;
}

std::string UsbMockBed::SysPathOf(const std::string& sysName) const {
  for (const Entry& e : entries_) {
    if (e.sysName == sysName) return e.sysPath;
  }
  return "";
}

std::string UsbMockBed::AddUsbDevice(const UsbMockPlace& place, uint16_t vendorId,
                                     uint16_t productId, uint32_t speedMbps,
                                     const std::vector<uint8_t>& descriptors) {
  const std::string devNode = DevNodeOf(place.bus, place.devnum);
  const std::string parent = place.parent.empty() ? "" : SysPathOf(place.parent);
  if (!place.parent.empty() && parent.empty()) return "";
  // libusb looks for usbfs before it scans: the bus folder must exist.
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(Root() + devNode).parent_path(), ec);
  const std::string bus = std::to_string(place.bus);
  const std::string devnum = std::to_string(place.devnum);
  const std::string speed = std::to_string(speedMbps);
  gchar* sysPath = umockdev_testbed_add_device(
      testbed_, "usb", place.sysName.c_str(), parent.empty() ? nullptr : parent.c_str(),
      // attributes
      "idVendor", Line(Hex4(vendorId)).c_str(), "idProduct", Line(Hex4(productId)).c_str(),
      "busnum", Line(bus).c_str(), "devnum", Line(devnum).c_str(), "speed", Line(speed).c_str(),
      "bConfigurationValue", "1\n", "bNumConfigurations", "1\n", nullptr,
      // udev properties
      "DEVTYPE", "usb_device", "DEVNAME", devNode.c_str(), "BUSNUM", bus.c_str(), "DEVNUM",
      devnum.c_str(), nullptr);
  if (sysPath == nullptr) return "";
  std::string path = sysPath;
  g_free(sysPath);
  std::vector<uint8_t> bytes = descriptors;
  umockdev_testbed_set_attribute_binary(testbed_, path.c_str(), "descriptors", bytes.data(),
                                        static_cast<gssize>(bytes.size()));
  return path;
}

bool UsbMockBed::AddHub(const UsbMockPlace& place) {
  std::vector<uint8_t> descriptors;
  DeviceDescriptor(descriptors, 9, kHubVendorId, kHubProductId);
  Configuration(descriptors, 9, {{0x81, 3, 2}});
  const std::string sysPath = AddUsbDevice(place, kHubVendorId, kHubProductId, 5000, descriptors);
  if (sysPath.empty()) return false;
  entries_.push_back(Entry{place.sysName, sysPath, nullptr});
  return true;
}

UsbMockDevice* UsbMockBed::AddCamera(std::shared_ptr<sim::SimCamera> camera,
                                     const UsbMockPlace& place, uint32_t speedMbps,
                                     uint16_t vendorId) {
  std::vector<uint8_t> descriptors;
  DeviceDescriptor(descriptors, 0, vendorId, camera->ProductId());
  Configuration(descriptors, 0xFF, {{0x81, 2, 1024}, {0x83, 2, 1024}, {0x01, 2, 1024}});
  const std::string sysPath =
      AddUsbDevice(place, vendorId, camera->ProductId(), speedMbps, descriptors);
  if (sysPath.empty()) return nullptr;
  const std::string devNode = DevNodeOf(place.bus, place.devnum);
  auto device =
      std::make_unique<UsbMockDevice>(testbed_, std::move(camera), Root() + devNode, devNode);
  if (!device->Ready()) {
    umockdev_testbed_remove_device(testbed_, sysPath.c_str());
    return nullptr;
  }
  UsbMockDevice* raw = device.get();
  entries_.push_back(Entry{place.sysName, sysPath, std::move(device)});
  return raw;
}

void UsbMockBed::Remove(UsbMockDevice* device) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->device.get() != device) continue;
    device->Unplug();
    umockdev_testbed_uevent(testbed_, it->sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, it->sysPath.c_str());
    // The handler stays until the bed goes: handles opened before the
    // unplug may still send requests, which fail with ENODEV.
    return;
  }
}

}  // namespace vexcam::test
