// The libusb backend and the transport above it, run against fake USB
// cameras whose usbdevfs requests the simulated camera answers. Runs under
// umockdev-wrapper; elsewhere every test is skipped.

#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_camera.h"
#include "sim/test_pattern.h"
#include "transport/camera_products.h"
#include "transport/libusb_backend.h"
#include "transport/vex_cy3_cam.h"
#include "usbmock/usb_mock_device.h"

namespace vexcam::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using usb::TransferStatus;

constexpr uint16_t kZa01 = 0x3200;
const std::string kPathA = usb::MakeDevicePath(0x04B4, kZa01, "1-2");
const std::string kPathB = usb::MakeDevicePath(0x04B4, kZa01, "2-1.4");

// One testbed for the whole process, torn down after the last test: libusb
// contexts created by earlier tests (the USB hub keeps one) must keep seeing
// the same devices.
struct MockWorld : ::testing::Environment {
  void SetUp() override {
    bed = UsbMockBed::Create();
    if (bed == nullptr) return;
    cameraA = bed->AddCamera(std::make_shared<sim::SimCamera>(1, kZa01), {"1-2", 1, 2, ""});
    bed->AddHub({"2-1", 2, 2, ""});
    cameraB = bed->AddCamera(std::make_shared<sim::SimCamera>(2, kZa01), {"2-1.4", 2, 3, "2-1"});
  }
  void TearDown() override { bed.reset(); }
  std::unique_ptr<UsbMockBed> bed;
  UsbMockDevice* cameraA = nullptr;  // bus 1, port 2
  UsbMockDevice* cameraB = nullptr;  // bus 2, behind the hub on port 1, port 4
};
MockWorld* const kWorld =
    static_cast<MockWorld*>(::testing::AddGlobalTestEnvironment(new MockWorld));

class UsbMockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = kWorld->bed != nullptr ? kWorld : nullptr;
    if (world_ == nullptr) GTEST_SKIP() << "not running under umockdev-wrapper";
    // What the camera layer registers: the products that are cameras.
    usb::SetCameraProductIds({kZa01});
    ASSERT_NE(world_->cameraA, nullptr);
    ASSERT_NE(world_->cameraB, nullptr);
    // No frame left armed or half read, no fault left over by an earlier test.
    for (UsbMockDevice* d : {world_->cameraA, world_->cameraB}) {
      d->Camera().ClearFaults();
      d->Camera().ResetPort(d->Camera().Generation());
    }
    backend_ = usb::LibusbBackend::Create();
    ASSERT_NE(backend_, nullptr);
  }

  void TearDown() override {
    if (world_ == nullptr) return;
    dev_.reset();
    // Every request libusb sent has an answer, and no URB was left behind.
    for (UsbMockDevice* d : {world_->cameraA, world_->cameraB, spare_}) {
      if (d == nullptr) continue;
      EXPECT_TRUE(d->UnknownRequests().empty())
          << "first unknown request 0x" << std::hex << d->UnknownRequests().front();
      EXPECT_EQ(d->UrbsInFlight(), 0u) << d->DevNode();
    }
  }

  // Opens dev_ on a camera (A unless told otherwise).
  void Open(usb::LibusbBackend* backend = nullptr, const std::string& path = kPathA) {
    dev_ = (backend != nullptr ? backend : backend_.get())->Open(path);
    ASSERT_NE(dev_, nullptr);
  }

  // Index of a path in the transport's device table (-1 when absent).
  static int IndexOf(CFx3Api& api, const std::string& path) {
    for (uint32_t i = 0; i < api.DeviceCount(); ++i) {
      DeviceRecord record;
      if (api.GetDeviceRecord(i, &record) && path == record.path) return static_cast<int>(i);
    }
    return -1;
  }

  // A transport object talking to camera A.
  void SelectA(CVexCy3Cam& cam) {
    ASSERT_GE(cam.EnumerateDevices(), 2u);
    const int index = IndexOf(cam, kPathA);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(cam.SelectDevice(static_cast<uint32_t>(index)));
  }

  // A further camera on bus 1, on a port not used before (tests may repeat),
  // opened as dev_ through a fresh backend whose scan sees it.
  void OpenSpareCamera(uint32_t speedMbps) {
    static uint8_t port = 4;
    ++port;
    const std::string place = "1-" + std::to_string(port);
    spare_ = world_->bed->AddCamera(std::make_shared<sim::SimCamera>(port, kZa01),
                                    {place, 1, port, ""}, speedMbps);
    ASSERT_NE(spare_, nullptr);
    sparePath_ = usb::MakeDevicePath(0x04B4, kZa01, place);
    spareBackend_ = usb::LibusbBackend::Create();
    ASSERT_NE(spareBackend_, nullptr);
    Open(spareBackend_.get(), sparePath_);
  }

  MockWorld* world_ = nullptr;
  UsbMockDevice* spare_ = nullptr;
  std::string sparePath_;
  std::shared_ptr<usb::LibusbBackend> spareBackend_;
  std::unique_ptr<usb::IUsbDevice> dev_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(64);
  uint8_t data_[102] = {};
  std::shared_ptr<usb::LibusbBackend> backend_;
};

// ---- discovery ------------------------------------------------------------

TEST_F(UsbMockTest, DiscoveryListsCamerasByBusAndPortAndSkipsTheHub) {
  const std::vector<usb::DeviceInfo> devices = backend_->Enumerate();
  int found = 0;
  for (const usb::DeviceInfo& d : devices) {
    EXPECT_EQ(d.vendorId, 0x04B4) << d.path;  // the hub is not a camera
    if (d.path == kPathA || d.path == kPathB) {
      ++found;
      EXPECT_EQ(d.productId, kZa01);
      EXPECT_TRUE(backend_->Owns(d.path));
    }
  }
  EXPECT_EQ(found, 2);
}

TEST_F(UsbMockTest, OtherDevicesAreNeitherListedNorOpened) {
  // A bridge chip of the same vendor id with another product id (a disk,
  // say), and another vendor's device that happens to use a camera's product
  // id: discovery must not open them, claim them or put them in the table.
  UsbMockDevice* other =
      world_->bed->AddCamera(std::make_shared<sim::SimCamera>(40, 0x6001), {"1-40", 1, 40, ""});
  UsbMockDevice* foreign = world_->bed->AddCamera(std::make_shared<sim::SimCamera>(41, kZa01),
                                                  {"1-41", 1, 41, ""}, 5000, 0x1D6B);
  ASSERT_NE(other, nullptr);
  ASSERT_NE(foreign, nullptr);
  const std::string path = usb::MakeDevicePath(0x04B4, 0x6001, "1-40");
  auto backend = usb::LibusbBackend::Create();
  for (const usb::DeviceInfo& d : backend->Enumerate()) {
    EXPECT_NE(d.productId, 0x6001) << d.path;
    EXPECT_EQ(d.vendorId, 0x04B4) << d.path;
  }
  EXPECT_EQ(backend->Open(path), nullptr);
  EXPECT_EQ(backend->Open(usb::MakeDevicePath(0x1D6B, kZa01, "1-41")), nullptr);
  CVexCy3Cam cam;
  EXPECT_GE(cam.EnumerateDevices(), 2u);
  EXPECT_EQ(IndexOf(cam, path), -1);
  EXPECT_EQ(other->Claims(), 0);
  EXPECT_EQ(foreign->Claims(), 0);
  EXPECT_GT(world_->cameraA->Claims(), 0);  // the cameras themselves are opened
}

TEST_F(UsbMockTest, OpenReportsTheLinkSpeedAndRefusesUnknownPlaces) {
  ASSERT_NO_FATAL_FAILURE(Open());
  uint32_t speed = 0;
  ASSERT_TRUE(dev_->GetSpeed(&speed));
  EXPECT_EQ(speed, kSpeedSuper);
  EXPECT_GE(world_->cameraA->RequestCount(USBDEVFS_GET_CAPABILITIES), 1u);
  EXPECT_EQ(backend_->Open(usb::MakeDevicePath(0x04B4, kZa01, "1-9")), nullptr);
  // Right port, other model: not the camera that was listed there.
  EXPECT_EQ(backend_->Open(usb::MakeDevicePath(0x04B4, 0x3201, "1-2")), nullptr);

  // A high-speed link is not reported as SuperSpeed.
  ASSERT_NO_FATAL_FAILURE(OpenSpareCamera(480));
  ASSERT_TRUE(dev_->GetSpeed(&speed));
  EXPECT_EQ(speed, 3u);
  world_->bed->Remove(spare_);
}

// ---- endpoint 0 -------------------------------------------------------------

TEST_F(UsbMockTest, VendorRequestsReachTheSelectedCameraOnly) {
  CVexCy3Cam cam;
  SelectA(cam);
  world_->cameraB->Camera().SetFpgaRegister(200, 0);
  ASSERT_TRUE(cam.WriteFpgaRegister(200, 0x5A));
  EXPECT_EQ(world_->cameraA->Camera().FpgaRegister(200), 0x5A);
  EXPECT_EQ(world_->cameraB->Camera().FpgaRegister(200), 0);
  world_->cameraA->Camera().SetFpgaRegister(201, 0xC3);
  uint8_t value = 0;
  ASSERT_TRUE(cam.ReadFpgaRegister(201, &value));
  EXPECT_EQ(value, 0xC3);

  // The simulator's info block carries the firmware word where the camera
  // model reads it.
  world_->cameraA->Camera().SetFirmwareVersion(0x12345678);
  uint8_t block[64] = {};
  ASSERT_TRUE(cam.ReadDeviceInfoA(block));
  uint32_t firmware = 0;
  std::memcpy(&firmware, block + 24, 4);
  EXPECT_EQ(firmware, 0x12345678u);
}

TEST_F(UsbMockTest, RefusedControlRequestFailsWithoutHarm) {
  ASSERT_NO_FATAL_FAILURE(Open());
  // An unknown request, or a wLength other than 102, stalls endpoint 0; the
  // handle stays usable.
  EXPECT_EQ(dev_->ControlTransfer(0xC0, 0x77, 0, 0, data_, 102, 1000), -1);
  EXPECT_EQ(dev_->ControlTransfer(0xC0, 0xB0, 0, 0, data_, 64, 1000), -1);
  EXPECT_EQ(dev_->ControlTransfer(0xC0, 0xB0, 0, 0, data_, 102, 1000), 64);
}

// ---- bulk transfers --------------------------------------------------------

TEST_F(UsbMockTest, FrameHeaderAndPayloadMatchTheCamera) {
  CVexCy3Cam cam;
  SelectA(cam);
  const uint32_t resets = world_->cameraA->RequestCount(USBDEVFS_RESET);
  ASSERT_TRUE(cam.PrepareTransferBuffer());  // includes a port reset
  EXPECT_EQ(world_->cameraA->RequestCount(USBDEVFS_RESET), resets + 1);
  ASSERT_TRUE(cam.OpenStream());
  for (int round = 0; round < 2; ++round) {
    FrameDescriptor frame;
    ASSERT_TRUE(cam.ReadFrameHeader(frame));
    EXPECT_EQ(std::memcmp(frame.header, "VSIM", 4), 0);
    const sim::SimFrameInfo info = world_->cameraA->Camera().LastFrame();
    ASSERT_TRUE(info.valid);
    uint32_t length = 0;
    std::memcpy(&length, frame.header + kHeaderPayloadOffset, 4);
    EXPECT_EQ(length, info.payloadBytes);
    EXPECT_EQ(frame.tag, info.pattern.tag);
    ASSERT_GT(length, kPayloadPieceBytes / 2);

    std::vector<uint8_t> pixels(length + 16, 0xEE);
    frame.destination = pixels.data();
    frame.capacity = length;
    ASSERT_TRUE(cam.ReadFramePayload(frame, 1000));
    std::vector<uint8_t> expected(length);
    sim::CopyPatternBytes(info.pattern, 0, expected.data(), length);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pixels.begin()));
    EXPECT_EQ(pixels[length], 0xEE);  // nothing past the payload
  }
  cam.CloseStream();
}

TEST_F(UsbMockTest, MemoryWritesAndReadsRoundTripInSeveralPieces) {
  CVexCy3Cam cam;
  SelectA(cam);
  ASSERT_TRUE(cam.PrepareTransferBuffer());
  // Over the backend's 4 MiB piece, so a transfer is split on the way.
  const uint32_t length = (5u << 20) + 100;
  std::vector<uint8_t> source(length);
  for (uint32_t i = 0; i < length; ++i) source[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
  ASSERT_TRUE(cam.WriteMemory(0x1000, source.data(), length));
  std::vector<uint8_t> back(length, 0);
  ASSERT_TRUE(cam.ReadMemory(0x1000, back.data(), length));
  EXPECT_TRUE(back == source);
}

TEST_F(UsbMockTest, ReadWithoutFrameTimesOutAndLeavesNoUrbBehind) {
  ASSERT_NO_FATAL_FAILURE(Open());
  const auto start = Clock::now();
  const usb::TransferResult r = dev_->BulkTransfer(0x81, buffer_.data(), 64, 150);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(r.status, TransferStatus::kTimedOut);
  EXPECT_EQ(r.transferred, 0u);
  EXPECT_GE(took.count(), 140);
  EXPECT_LT(took.count(), 1000);
  EXPECT_GE(world_->cameraA->RequestCount(USBDEVFS_DISCARDURB), 1u);
  EXPECT_EQ(world_->cameraA->UrbsInFlight(), 0u);  // before the handle closes
}

TEST_F(UsbMockTest, CancelFromAnotherThreadEndsABlockedReadQuickly) {
  ASSERT_NO_FATAL_FAILURE(Open());
  std::promise<void> started;
  auto reader = std::async(std::launch::async, [&] {
    started.set_value();
    return dev_->BulkTransfer(0x81, buffer_.data(), 64, usb::kInfiniteTimeout);
  });
  started.get_future().wait();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it block
  ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  const auto start = Clock::now();
  EXPECT_TRUE(dev_->CancelPending(0x81));
  ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(100)), std::future_status::ready);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(reader.get().status, TransferStatus::kCancelled);
}

// A stall maps to kStalled and a bad device status to kError; after
// CLEAR_HALT the stalls left are gone and an armed frame header arrives.
TEST_F(UsbMockTest, StallAndBadStatusAreReportedAndClearHaltRecovers) {
  ASSERT_NO_FATAL_FAILURE(Open());
  world_->cameraA->Camera().InjectStalls(3);
  EXPECT_EQ(dev_->BulkTransfer(0x81, buffer_.data(), 64, 500).status, TransferStatus::kStalled);
  const uint32_t clears = world_->cameraA->RequestCount(USBDEVFS_CLEAR_HALT);
  ASSERT_TRUE(dev_->ClearHalt(0x81));
  EXPECT_EQ(world_->cameraA->RequestCount(USBDEVFS_CLEAR_HALT), clears + 1);
  for (const TransferStatus expected : {TransferStatus::kCompleted, TransferStatus::kError}) {
    ASSERT_GE(dev_->ControlTransfer(0x42, 0xC2, 0, 0, data_, 102, 1000), 0);  // a frame request
    if (expected == TransferStatus::kError) world_->cameraA->Camera().InjectBadStatus(1);
    const usb::TransferResult r = dev_->BulkTransfer(0x81, buffer_.data(), 64, 1000);
    EXPECT_EQ(r.status, expected);
    EXPECT_EQ(r.transferred, 64u);  // a bad status still moves the data
  }
}

// ---- unplug -------------------------------------------------------------------

TEST_F(UsbMockTest, UnplugFailsPendingAndLaterRequestsWithNoDevice) {
  ASSERT_NO_FATAL_FAILURE(OpenSpareCamera(5000));
  auto reader = std::async(std::launch::async, [&] {
    return dev_->BulkTransfer(0x81, buffer_.data(), 64, usb::kInfiniteTimeout);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  world_->bed->Remove(spare_);
  ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(500)), std::future_status::ready);
  EXPECT_EQ(reader.get().status, TransferStatus::kNoDevice);

  EXPECT_EQ(dev_->ControlTransfer(0xC0, 0xB0, 0, 0, data_, 102, 1000), -1);
  EXPECT_EQ(dev_->BulkTransfer(0x81, buffer_.data(), 64, 100).status, TransferStatus::kNoDevice);
  EXPECT_FALSE(dev_->CancelPending(0x81));
  uint32_t speed = 0;
  EXPECT_FALSE(dev_->GetSpeed(&speed));

  auto later = usb::LibusbBackend::Create();
  ASSERT_NE(later, nullptr);
  for (const usb::DeviceInfo& d : later->Enumerate()) EXPECT_NE(d.path, sparePath_);
}

// ---- vexcam doctor ----------------------------------------------------------

// Runs `vexcam doctor` in a child process that sees the same testbed, as an
// unprivileged user when the tests run as root (root may open anything).
struct DoctorRun {
  int status = -1;
  std::string output;
};

DoctorRun RunDoctor(const std::string& configHome) {
  const std::string command =
      std::string(geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
      "env XDG_CONFIG_HOME='" + configHome + "' " VEXCAM_TOOL_PATH " doctor 2>&1";
  DoctorRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class DoctorTest : public UsbMockTest {
 protected:
  void SetUp() override {
    UsbMockTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    root_ = world_->bed->Root();
    config_ = root_ + "-doctor-config";
    fs::create_directories(config_ + "/Quorin");
    // The unprivileged child must reach the testbed (sysfs, nodes, the
    // sockets that answer the nodes' requests) and its settings folder.
    for (const std::string& top : {root_, config_}) {
      fs::permissions(top, fs::perms::all, fs::perm_options::add);
      for (const fs::directory_entry& e : fs::recursive_directory_iterator(top)) {
        std::error_code ec;
        fs::permissions(e.path(), e.is_directory() ? fs::perms::all : static_cast<fs::perms>(0666),
                        fs::perm_options::add, ec);
      }
    }
  }
  void TearDown() override {
    if (!root_.empty()) {
      std::error_code ec;
      fs::permissions(root_ + kNodeB, static_cast<fs::perms>(0600), ec);
      fs::remove_all(config_, ec);
    }
    UsbMockTest::TearDown();
  }
  static constexpr const char* kNodeB = "/dev/bus/usb/002/003";
  std::string root_;
  std::string config_;
};

TEST_F(DoctorTest, CorruptSettingsDoNotBlockAnUnopenableCameraNodeDoesWithTheFix) {
  const std::string file = config_ + "/Quorin/VexCamZA013K9Sdk.reg";
  std::ofstream(file) << "this is not a settings file\n[unterminated";
  fs::permissions(file, fs::perms::all, fs::perm_options::add);
  DoctorRun run = RunDoctor(config_);
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* line :
       {"VexCamZA013K9Sdk.reg does not parse", "fix: mv ", "nothing blocks capture"})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;

  fs::remove(file);
  fs::permissions(root_ + kNodeB, fs::perms::none);
  run = RunDoctor(config_);
  EXPECT_EQ(run.status, 1) << run.output;
  for (const std::string& line :
       {std::string("camera 04b4:3200 at USB 1-2, /dev/bus/usb/001/002"),
        std::string("may open it"), std::string("may not open ") + kNodeB, std::string("mode 000"),
        std::string("fix: sudo "), std::string("SuperSpeed"),
        std::string("problem(s) block capture")})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
}

}  // namespace
}  // namespace vexcam::test
