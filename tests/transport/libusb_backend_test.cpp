// The libusb backend without cameras: path ownership.
#include <gtest/gtest.h>

#include "transport/libusb_backend.h"

namespace vexcam::usb {
namespace {

// Paths the backend owns (listing and opening cameras: tests/usbmock).
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
  EXPECT_EQ(backend->Open("garbage"), nullptr);
}

}  // namespace
}  // namespace vexcam::usb
