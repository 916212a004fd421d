// Discovery numbering and the shared block between objects and processes.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cctype>
#include <csignal>

#include <memory>
#include <string>

#include "fake_usb_backend.h"
#include "transport/device_table.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam::test {
namespace {

std::string Location(int i) { return "fake-" + std::to_string(i); }

class DeviceTableTest : public ::testing::Test {
 protected:
  FakeBackendScope scope;
};

TEST_F(DeviceTableTest, CamerasOfAModelAreNumberedInListingOrder) {
  scope.backend->Add(0x3200, Location(1));
  scope.backend->Add(0x3100, Location(2));
  scope.backend->Add(0x3200, Location(3));
  CVexCy3Cam cam;
  ASSERT_EQ(cam.EnumerateDevices(), 3u);
  DeviceRecord r;
  ASSERT_EQ(cam.GetDeviceRecord(0, &r), 1u);
  EXPECT_EQ(r.vendorId, 0x04B4);
  EXPECT_EQ(r.productId, 0x3200);
  EXPECT_EQ(r.modelNumber, 0);
  ASSERT_EQ(cam.GetDeviceRecord(1, &r), 1u);
  EXPECT_EQ(r.modelNumber, 0);
  ASSERT_EQ(cam.GetDeviceRecord(2, &r), 1u);
  EXPECT_EQ(r.productId, 0x3200);
  EXPECT_EQ(r.modelNumber, 1);
  EXPECT_EQ(std::string(r.path), usb::MakeDevicePath(0x04B4, 0x3200, Location(3)));
  EXPECT_EQ(cam.GetDeviceRecord(3, &r), 0u);
  EXPECT_EQ(cam.GetDeviceRecord(32, &r), 0u);
}

TEST_F(DeviceTableTest, RecordsSurviveUnplugAndReplugKeepsThem) {
  auto a = scope.backend->Add(0x3200, Location(1));
  scope.backend->Add(0x3200, Location(2));
  CVexCy3Cam cam;
  ASSERT_EQ(cam.EnumerateDevices(), 2u);
  ASSERT_EQ(cam.EnumerateDevices(), 2u);  // nothing added twice
  scope.backend->Remove(a);
  EXPECT_EQ(cam.EnumerateDevices(), 2u);
  EXPECT_EQ(cam.IsDeviceOpenable(0), 0u);
  EXPECT_EQ(cam.IsDeviceOpenable(1), 1u);
  scope.backend->Add(0x3200, Location(1));  // same port again
  EXPECT_EQ(cam.EnumerateDevices(), 2u);
  EXPECT_EQ(cam.IsDeviceOpenable(0), 1u);
  EXPECT_EQ(cam.SelectDevice(0), 1u);
}

// A path comes in once whatever its case; overlong paths and paths without
// a product id stay out.
TEST_F(DeviceTableTest, PathsCompareWithoutCaseAndBadOnesAreSkipped) {
  scope.backend->Add(0x3200, "fake-" + std::string(230, 'x'));  // a path of 300 characters
  CVexCy3Cam cam;
  EXPECT_EQ(cam.EnumerateDevices(), 0u);
  auto table = CDeviceTable::Attach();
  EXPECT_EQ(table->AddDevices({"\\\\?\\usb#vid_04b4&pid_zz00#x#y", "short"}), 0u);
  std::string path = usb::MakeDevicePath(0x04B4, 0x32AB, "fake-1");
  EXPECT_EQ(table->AddDevices({path}), 1u);
  for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(table->AddDevices({path}), 1u);
  DeviceRecord r;
  ASSERT_TRUE(table->Record(0, &r));
  EXPECT_EQ(r.productId, 0x32AB);
}

TEST_F(DeviceTableTest, ThirtyThirdCameraIsDropped) {
  for (int i = 0; i < 33; ++i) scope.backend->Add(0x3200, Location(i));
  CVexCy3Cam cam;
  EXPECT_EQ(cam.EnumerateDevices(), 32u);
  DeviceRecord r;
  ASSERT_EQ(cam.GetDeviceRecord(31, &r), 1u);
  EXPECT_EQ(r.modelNumber, 31);
  EXPECT_EQ(cam.EnumerateDevices(), 32u);
}

TEST_F(DeviceTableTest, LiveObjectsAreCountedAndTheLastOneRemovesTheBlock) {
  {
    CVexCy3Cam a;
    CVexCy3Cam b;
    scope.backend->Add(0x3200, Location(1));
    a.EnumerateDevices();
    const SharedBlock block = CDeviceTable::Attach()->Snapshot();
    EXPECT_EQ(block.liveObjects, 2u);
    EXPECT_EQ(block.count, 1u);
    EXPECT_EQ(b.DeviceCount(), 1u);  // both objects see one table
    EXPECT_TRUE(CDeviceTable::BlockExists());
  }
  EXPECT_FALSE(CDeviceTable::BlockExists());
  CVexCy3Cam c;
  EXPECT_EQ(c.DeviceCount(), 0u);
  EXPECT_EQ(CDeviceTable::Attach()->LiveObjects(), 1u);
}

// Runs `body` in a child process and returns its exit code (-1 when killed).
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DeviceTableTest, ProcessesShareOneTable) {
  CVexCy3Cam parent;
  scope.backend->Add(0x3200, Location(1));
  ASSERT_EQ(parent.EnumerateDevices(), 1u);
  const int code = InChild([&] {
    CVexCy3Cam child;
    if (child.DeviceCount() != 1) return 1;
    if (CDeviceTable::Attach()->LiveObjects() != 2) return 2;
    // The child adds a camera that the parent has not seen.
    if (CDeviceTable::Attach()->AddDevices({usb::MakeDevicePath(0x04B4, 0x3200, "fake-9")}) != 2)
      return 3;
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(parent.DeviceCount(), 2u);
  DeviceRecord r;
  ASSERT_EQ(parent.GetDeviceRecord(1, &r), 1u);
  EXPECT_EQ(r.modelNumber, 1);
  EXPECT_EQ(CDeviceTable::Attach()->LiveObjects(), 1u);
}

TEST_F(DeviceTableTest, TableOfACrashedProcessIsDiscarded) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    CVexCy3Cam child;
    CDeviceTable::Attach()->AddDevices({usb::MakeDevicePath(0x04B4, 0x3200, "fake-1")});
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_TRUE(CDeviceTable::BlockExists());
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  CVexCy3Cam fresh;
  EXPECT_EQ(fresh.DeviceCount(), 0u);
  EXPECT_EQ(CDeviceTable::Attach()->LiveObjects(), 1u);
}

}  // namespace
}  // namespace vexcam::test
