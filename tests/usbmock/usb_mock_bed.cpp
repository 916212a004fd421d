#include "usbmock/usb_mock_bed.h"

#include <umockdev.h>
#include <array>
#include <cstdio>
#include <filesystem>

namespace vexcam::test {
namespace {

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
                                     const UsbMockPlace& place, uint32_t speedMbps) {
  std::vector<uint8_t> descriptors;
  DeviceDescriptor(descriptors, 0, sim::kSimVendorId, camera->ProductId());
  Configuration(descriptors, 0xFF, {{0x81, 2, 1024}, {0x83, 2, 1024}, {0x01, 2, 1024}});
  const std::string sysPath =
      AddUsbDevice(place, sim::kSimVendorId, camera->ProductId(), speedMbps, descriptors);
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
