#pragma once
// A umockdev testbed with fake USB devices in sysfs (attributes, udev
// properties, descriptors) whose /dev nodes are answered by UsbMockDevice.
// Works only inside umockdev-wrapper; Create() returns null elsewhere.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_camera.h"
#include "usbmock/usb_mock_device.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace vexcam::test {

// Where a device sits: sysfs name "<bus>-<port>[.<port>...]", device number.
struct UsbMockPlace {
  std::string sysName;
  uint8_t bus = 1;
  uint8_t devnum = 2;
  std::string parent;  // sysfs name of the hub it hangs off ("" = none)
};

class UsbMockBed {
 public:
  static std::unique_ptr<UsbMockBed> Create();
  ~UsbMockBed();
  UsbMockBed(const UsbMockBed&) = delete;
  UsbMockBed& operator=(const UsbMockBed&) = delete;

  // A USB hub (not a camera); nothing answers its node.
  bool AddHub(const UsbMockPlace& place);
  // A camera answered by the camera model; speed in Mbit/s as in sysfs.
  // Null when it could not be set up.
  UsbMockDevice* AddCamera(std::shared_ptr<sim::SimCamera> camera, const UsbMockPlace& place,
                           uint32_t speedMbps = 5000);
  // Unplugs the camera and removes it from sysfs (with a "remove" event).
  void Remove(UsbMockDevice* device);

  std::string Root() const;

 private:
  explicit UsbMockBed(UMockdevTestbed* testbed) : testbed_(testbed) {}
  std::string AddUsbDevice(const UsbMockPlace& place, uint16_t vendorId, uint16_t productId,
                           uint32_t speedMbps, const std::vector<uint8_t>& descriptors);
  std::string SysPathOf(const std::string& sysName) const;

  struct Entry {
    std::string sysName;
    std::string sysPath;
    std::unique_ptr<UsbMockDevice> device;
  };

  UMockdevTestbed* testbed_;
  std::vector<Entry> entries_;
};

}  // namespace vexcam::test
