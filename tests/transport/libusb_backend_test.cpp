// The libusb backend without cameras: path ownership and a machine without
// any camera (or without USB access at all).
#include <gtest/gtest.h>

#include "transport/libusb_backend.h"

namespace vexcam::usb {
namespace {

// Paths the backend owns, and what it lists and opens on this machine (the
// cameras themselves: tests/usbmock).
TEST(LibusbBackendTest, OwnsOnlyBusAndPortLocationsAndOpensNoUnknownDevice) {
  auto path = [](const std::string& location) { return MakeDevicePath(0x04B4, 0x3200, location); };
  EXPECT_EQ(path("2-1.4"),
            "\\\\?\\usb#vid_04b4&pid_3200#2-1.4#{328184c5-93e6-49b7-94b8-2ada13aabb39}");
  EXPECT_EQ(LibusbBackend::LocationOfPath(path("2-1.4")), "2-1.4");
  auto backend = LibusbBackend::Create();
  if (!backend) GTEST_SKIP() << "libusb cannot start here";
  EXPECT_TRUE(backend->Owns(path("2-1.4")));
  EXPECT_TRUE(backend->Owns(path("11-3")));
  EXPECT_FALSE(backend->Owns(path("sim-1")));
  EXPECT_FALSE(backend->Owns(path("2-")));
  EXPECT_FALSE(backend->Owns(path("2-1..4")));
  EXPECT_FALSE(backend->Owns("2-1.4"));
  for (const DeviceInfo& info : backend->Enumerate()) {
    EXPECT_EQ(info.vendorId, 0x04B4);
    EXPECT_LT(info.path.size(), 260u);
  }
  EXPECT_EQ(backend->Open(path("250-9.9.9")), nullptr);
  EXPECT_EQ(backend->Open("garbage"), nullptr);
}

}  // namespace
}  // namespace vexcam::usb
