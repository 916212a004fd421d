#pragma once
// One fake USB camera node for umockdev: answers the usbdevfs ioctls that
// libusb issues on /dev/bus/usb/BBB/DDD from a simulated camera, so that the
// unmodified libusb backend can be tested without hardware.
//
// Ioctls arrive on umockdev's single worker thread and are answered at once.
// Control URBs complete during their submit; bulk URBs go to one thread per
// endpoint that runs the camera's (blocking) bulk transfer. Completed URBs
// wait in a list until libusb reaps them. libusb learns that a URB is ready by
// polling the node for POLLOUT: the node is a FIFO that is kept full while
// nothing is ready and drained by one page when something is.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_camera.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace vexcam::test {

// Bulk endpoints of the camera's interface 0.
inline constexpr uint8_t kMockBulkEndpoints[] = {0x81, 0x83, 0x01};

class UsbMockDevice {
 public:
  // nodePath: the node inside the testbed root (a FIFO is made there);
  // devNode: the same node as clients name it ("/dev/bus/usb/001/002").
  UsbMockDevice(UMockdevTestbed* testbed, std::shared_ptr<sim::SimCamera> camera,
                const std::string& nodePath, const std::string& devNode);
  ~UsbMockDevice();
  UsbMockDevice(const UsbMockDevice&) = delete;
  UsbMockDevice& operator=(const UsbMockDevice&) = delete;

  // False when the node or the ioctl handler could not be set up.
  bool Ready() const { return attached_; }
  sim::SimCamera& Camera() { return *camera_; }
  const std::string& DevNode() const { return devNode_; }

  // The cable is pulled: URBs in flight complete with -ENODEV and every later
  // request fails with ENODEV.
  void Unplug();

  // How often each ioctl request arrived, and the requests nobody answers.
  uint32_t RequestCount(unsigned long request) const;
  std::vector<unsigned long> UnknownRequests() const;
  // URBs submitted and not yet reaped.
  size_t UrbsInFlight() const;
  // Interface claims (plain or with a kernel driver disconnected).
  int Claims() const { return claims_.load(); }

 private:
  enum class UrbState : uint8_t { kQueued, kRunning, kDone };

  struct Urb {
    ~Urb();
    unsigned long address = 0;  // the URB's address in the client
    UMockdevIoctlData* urbData = nullptr;
    UMockdevIoctlData* bufferData = nullptr;  // null for a zero-length buffer
    uint8_t type = 0;
    uint8_t endpoint = 0;
    uint32_t length = 0;
    UrbState state = UrbState::kQueued;
    bool discarded = false;
    int status = 0;
    uint32_t actual = 0;
    uint8_t* Buffer() const;
  };

  static int OnHandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  int HandleIoctl(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Control requests go straight to the camera; returns the URB status.
  int RunControl(Urb& urb);
  void EndpointLoop(uint8_t endpoint);
  // Requires mutex_.
  void CompleteLocked(const std::shared_ptr<Urb>& urb);
  void SignalReadyLocked(bool ready);

  std::shared_ptr<sim::SimCamera> camera_;
  const uint32_t generation_;
  const std::string nodePath_;
  const std::string devNode_;
  UMockdevTestbed* testbed_;
  UMockdevIoctlBase* handler_ = nullptr;
  int fifo_ = -1;
  bool attached_ = false;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  bool stop_ = false;
  bool unplugged_ = false;
  bool signalled_ = false;                                  // one page drained from the FIFO
  std::map<unsigned long, std::shared_ptr<Urb>> inFlight_;  // by client address
  std::deque<std::shared_ptr<Urb>> done_;
  std::map<uint8_t, std::deque<std::shared_ptr<Urb>>> queues_;  // bulk, by endpoint
  std::map<unsigned long, uint32_t> counts_;
  std::vector<unsigned long> unknown_;
  std::atomic<int> claims_{0};
  std::vector<std::thread> workers_;
};

// Where a device sits: sysfs name "<bus>-<port>[.<port>...]", device number.
struct UsbMockPlace {
  std::string sysName;
  uint8_t bus = 1;
  uint8_t devnum = 2;
  std::string parent;  // sysfs name of the hub it hangs off ("" = none)
};

// A umockdev testbed with fake USB devices in sysfs (attributes, udev
// properties, descriptors) whose /dev nodes are answered by UsbMockDevice.
// Works only inside umockdev-wrapper; Create() returns null elsewhere.
class UsbMockBed {
 public:
  static std::unique_ptr<UsbMockBed> Create();
  ~UsbMockBed();
  UsbMockBed(const UsbMockBed&) = delete;
  UsbMockBed& operator=(const UsbMockBed&) = delete;

  // A USB hub (not a camera); nothing answers its node.
  bool AddHub(const UsbMockPlace& place);
  // A camera answered by the camera model; speed in Mbit/s as in sysfs, and
  // the vendor id it shows (another vendor's device of the same product id).
  // Null when it could not be set up.
  UsbMockDevice* AddCamera(std::shared_ptr<sim::SimCamera> camera, const UsbMockPlace& place,
                           uint32_t speedMbps = 5000, uint16_t vendorId = sim::kSimVendorId);
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
