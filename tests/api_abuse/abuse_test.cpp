// The C API under abuse: every export with null pointers, sizes and values at
// and past every range end, on a camera that streams; failing calls on one
// instance leave another alone; eight threads at once on one handle and on
// several, with VexCam_Release racing the other calls. Nothing may crash or
// hang, and every failure leaves its code (pushed, or posted to the notify
// window by the exports that only post).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "abuse_calls.h"
#include "common/api_fixture.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam::abuse {
namespace {

using Clock = std::chrono::steady_clock;

// A positive number from the environment, else the fallback.
int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// Aborts the process when one call runs longer than the limit: a hang must
// fail the run with the name of the call, not stall it.
class Watchdog {
 public:
  static constexpr int kSlots = 16;
  Watchdog() : thread_([this] { Run(); }) {}
  ~Watchdog() {
    stop_.store(true);
    thread_.join();
  }
  void Enter(int slot, const char* name) {
    names_[slot].store(name);
    since_[slot].store(Clock::now().time_since_epoch().count());
  }
  void Leave(int slot) { names_[slot].store(nullptr); }

 private:
  void Run() {
    const auto limit = std::chrono::seconds(EnvNumber("VEXCAM_ABUSE_HANG_SECONDS", 60));
    while (!stop_.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      for (int i = 0; i < kSlots; ++i) {
        const char* name = names_[i].load();
        const Clock::time_point since{Clock::duration(since_[i].load())};
        if (name != nullptr && Clock::now() - since > limit) {
          std::fprintf(stderr, "abuse: %s has not returned after %lld s\n", name,
                       static_cast<long long>(limit.count()));
          std::abort();
        }
      }
    }
  }
  std::atomic<const char*> names_[kSlots] = {};
  std::atomic<Clock::rep> since_[kSlots] = {};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool ValidCode(DWORD code) { return code <= 14 && code != 10; }

// Simulated cameras and files in the scratch folder; the handles are the tests' own.
class Abuse : public vexcam::test::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    // A small valid configuration file for the loaders (the mask loader must refuse it).
    std::ofstream(dir_ / "config.bin", std::ios::binary)
        .write("\1\0\0\0\2\0\0\0\3\0\0\0\4\0\0\0", 16);
  }
  void TearDown() override {
    for (HWND w : windows_) VexWin_DestroyWindow(w);
    ApiTest::TearDown();
  }
  HWND Window() {
    windows_.push_back(VexWin_CreateMessageWindow());
    return windows_.back();
  }
  void Prepare(Buffers& b) {
    b.callback = Window();
    b.dir = dir_.string();
    b.wdir = dir_.wstring();
  }
  // A handle on camera `number`, capturing without a preview window.
  DWORD Open(HWND notify, int number) {
    const DWORD h = VexCam_Initialize(notify);
    EXPECT_NE(h, 0u);
    EXPECT_EQ(VexCam_SetDeviceNumber(h, number), 1);
    EXPECT_EQ(VexCam_SetPreviewWindow(h, nullptr, 0, 0, 0, 0), 1);
    Drain(h, notify);
    return h;
  }
  // Back to a streaming-ready camera after a call that may have changed anything.
  static void Restore(DWORD h, int number) {
    VexCam_StopPreview(h);
    if (VexCam_Width(h) == 0) VexCam_SetDeviceNumber(h, number);
    VexCam_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
    VexCam_SetColorMode(h, 8);
    VexCam_SetSubSample(h, 0);
    VexCam_SetCaptureWindowEx(h, 640, 0, 640, 512, 0, 512);
    VexCam_SetExposureTime(h, 100);
    VexCam_SetWaitTime(h, 10);
    VexCam_SetAutoIris(h, 0);
  }
  // Pops the stack and reads the posted error messages: the codes of the last calls.
  static std::vector<DWORD> Drain(DWORD h, HWND notify) {
    std::vector<DWORD> codes;
    for (int i = 0; i < 20; ++i) {
      const DWORD c = VexCam_GetLastError(h);
      if (c == 0) break;
      codes.push_back(c);
    }
    VEXWIN_MSG m{};
    while (notify != nullptr && VexWin_PeekMessage(notify, &m, TRUE)) {
      if (m.message == VEXCAM_MSG_ERROR) codes.push_back(static_cast<DWORD>(m.lParam));
    }
    return codes;
  }
  std::vector<int> Values(DWORD h) {
    std::vector<int> values = EdgeValues();
    VEXCAM_CAMERA_INFO info{};
    info.size = sizeof(info);
    if (VexCam_GetCameraInfo(h, &info)) {
      for (int end : {info.globalGainMin, info.globalGainMax, info.colorGainMin, info.colorGainMax,
                      info.exposureTimeMin, info.exposureTimeMax})
        for (int d : {-1, 0, 1}) values.push_back(end + d);
    }
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    // VEXCAM_ABUSE_STRIDE=n keeps every n-th value (the slower sanitizer builds).
    const auto stride = static_cast<size_t>(EnvNumber("VEXCAM_ABUSE_STRIDE", 1));
    std::vector<int> kept;
    for (size_t i = 0; i < values.size(); i += stride) kept.push_back(values[i]);
    return kept;
  }

  std::vector<HWND> windows_;
  Watchdog watchdog_;
};

// Refusals that return the failure value without a code, as documented for
// these exports: a negative wait time, a sub-sample code other than 0, a
// channel outside 1..4, the device's own answer for the sampling rate and the
// correction mode (value 104), a still-image writer failure (an unknown
// format, a file that cannot be written), and a configuration file that
// cannot be opened, and a getter of values 13 to 18 (the colour gains) whose
// device read fails: ok says it, no code.
bool SilentByDesign(const std::string& name, const Args& a) {
  if (name.rfind("VexCam_GetColorGain", 0) == 0) return true;
  if (name == "VexCam_GetFilterValue") return a.v2 >= 13 && a.v2 <= 18;
  if (name == "VexCam_SetWaitTime") return a.v < 0;
  if (name == "VexCam_SetSubSample") return a.v != 0;
  if (name.find("ChannelGain") != std::string::npos ||
      name.find("ChannelOffset") != std::string::npos)
    return a.v2 < 1 || a.v2 > 4;
  if (name == "VexCam_SetFilterValue") return a.v2 == 104;
  return name == "VexCam_SetSamplingRate" || name == "VexCam_SaveImage" ||
         name == "VexCam_SaveImageW" || name == "VexCam_LoadConfigFileA" ||
         name == "VexCam_LoadConfigFileW";
}

TEST_F(Abuse, EveryExportAtAndPastItsRangeEndsFailsWithItsCode) {
  AddCameras();
  const HWND notify = Window();
  const DWORD h = Open(notify, 0);
  Buffers b(size_t{1} << 31);
  ASSERT_NE(b.base, nullptr);
  Prepare(b);
  const std::vector<int> values = Values(h);
  std::map<std::string, std::string> silent, badCode;
  for (const Export& e : Exports()) {
    for (size_t i = 0; i < values.size(); ++i) {
      for (bool null : {false, true}) {
        const Args a{values[i], values[(i * 7 + 3) % values.size()], null};
        watchdog_.Enter(0, e.name);
        const bool failed = e.call(h, a, b);
        watchdog_.Leave(0);
        const std::vector<DWORD> codes = Drain(h, notify);
        const std::string what =
            "(" + std::to_string(a.v) + ", " + std::to_string(a.v2) + (null ? ", null)" : ")");
        if (failed && codes.empty() && !SilentByDesign(e.name, a)) silent.emplace(e.name, what);
        for (DWORD c : codes)
          if (!ValidCode(c)) badCode.emplace(e.name, what + " code " + std::to_string(c));
        if (e.capture) {
          Restore(h, 0);
          Drain(h, notify);
        }
      }
    }
    Restore(h, 0);
    Drain(h, notify);
  }
  for (const auto& [name, what] : silent) ADD_FAILURE() << name << what << " failed without a code";
  for (const auto& [name, what] : badCode) ADD_FAILURE() << name << what;
  // The instance still streams after all that.
  std::vector<uint8_t> frame(640 * 512);
  EXPECT_EQ(VexCam_SnapShot(h, frame.data(), static_cast<int>(frame.size()), 0), 1)
      << VexCam_GetLastError(h);
  EXPECT_EQ(VexCam_Release(h), 1);
}

TEST_F(Abuse, FailingCallsOnOneInstanceLeaveTheOtherAlone) {
  AddCameras(2);
  const HWND notifyA = Window(), notifyB = Window();
  const DWORD a = Open(notifyA, 0);
  const DWORD other = Open(notifyB, 1);
  Buffers b(size_t{1} << 24);
  Prepare(b);
  ASSERT_EQ(VexCam_CallBackPreview(other, b.callback, nullptr, 0, 0), 1);
  for (const Export& e : Exports()) {
    if (e.capture) continue;  // a's captures would only be refused
    watchdog_.Enter(0, e.name);
    e.call(a, Args{-1, std::numeric_limits<int>::max(), true}, b);
    watchdog_.Leave(0);
  }
  EXPECT_TRUE(Drain(other, notifyB).empty()) << "a's failures reached the other instance";
  // The other's stream went on. (What every export gives a released handle is
  // BadInput.UnknownHandlesGiveFailureValues': the lookup misses alike.)
  VEXWIN_MSG m{};
  bool frame = false;
  for (int i = 0; i < 100 && !frame; ++i)
    frame = VexWin_GetMessage(b.callback, &m, 50) && m.message == VEXCAM_MSG_FRAME && m.wParam != 0;
  EXPECT_TRUE(frame);
  Restore(a, 0);
  ASSERT_EQ(VexCam_Release(a), 1);
  EXPECT_NE(VexCam_Width(other), 0);
  EXPECT_EQ(VexCam_StopPreview(other), 1);
  EXPECT_EQ(VexCam_Release(other), 1);
}

// Runs random exports with random edge values on random handles from eight
// threads for `duration`; `handle` picks the handle of each call.
template <class PickHandle>
void Hammer(Watchdog& watchdog, const std::filesystem::path& dir,
            std::chrono::milliseconds duration, PickHandle&& handle) {
  std::vector<std::thread> threads;
  std::vector<HWND> windows;
  std::mutex windowsLock;
  std::atomic<uint64_t> calls{0};
  const auto end = Clock::now() + duration;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      Buffers b(size_t{64} << 20);  // each thread its own buffers, as an application would
      {
        std::lock_guard lock(windowsLock);
        windows.push_back(VexWin_CreateMessageWindow());
        b.callback = windows.back();
      }
      b.dir = (dir / ("t" + std::to_string(t))).string();
      b.wdir = (dir / ("t" + std::to_string(t))).wstring();
      std::filesystem::create_directories(b.dir);
      std::filesystem::copy_file(dir / "config.bin", dir / ("t" + std::to_string(t)) / "config.bin",
                                 std::filesystem::copy_options::overwrite_existing);
      std::mt19937 rng(1000 + t);
      const auto& exports = Exports();
      const auto& values = EdgeValues();
      auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
      VEXWIN_MSG m{};
      while (Clock::now() < end) {
        const Export& e = exports[pick(exports.size())];
        // Mostly sane values, so captures really run while the others hit them.
        const bool sane = pick(3) != 0;
        const Args a{sane ? static_cast<int>(pick(3)) : values[pick(values.size())],
                     sane ? static_cast<int>(pick(2)) : values[pick(values.size())], pick(8) == 0};
        const DWORD h = handle(rng);
        watchdog.Enter(t, e.name);
        e.call(h, a, b);
        if (e.capture && pick(4) == 0) VexCam_StopPreview(h);
        watchdog.Leave(t);
        VexCam_GetLastError(h);
        while (VexWin_PeekMessage(b.callback, &m, TRUE)) {}
        ++calls;
      }
      // Captures this thread started wrote into its buffers: stop them before
      // the buffers go.
      watchdog.Enter(t, "VexCam_StopPreview");
      for (int i = 0; i < 4; ++i) VexCam_StopPreview(handle(rng));
      watchdog.Leave(t);
    });
  }
  for (auto& th : threads) th.join();
  for (HWND w : windows) VexWin_DestroyWindow(w);
  EXPECT_GT(calls.load(), 8u);
}

std::chrono::milliseconds HammerTime() {
  return std::chrono::seconds(EnvNumber("VEXCAM_ABUSE_SECONDS", 3));
}

// Eight threads on one handle, then on three instances of three cameras and a
// fourth switching between them.
TEST_F(Abuse, EightThreadsOnOneHandleThenOnSeveral) {
  AddCameras(3);
  const HWND notify = Window();
  std::vector<DWORD> handles = {Open(notify, 0)};
  Hammer(watchdog_, dir_, HammerTime(), [&handles](std::mt19937&) { return handles[0]; });
  // Whatever the threads left: the handle still works.
  Restore(handles[0], 0);
  Drain(handles[0], notify);
  std::vector<uint8_t> frame(640 * 512);
  EXPECT_EQ(VexCam_SnapShot(handles[0], frame.data(), static_cast<int>(frame.size()), 0), 1)
      << VexCam_GetLastError(handles[0]);
  handles.insert(handles.end(), {Open(notify, 1), Open(notify, 2), VexCam_Initialize(nullptr)});
  Hammer(watchdog_, dir_, HammerTime(), [&handles](std::mt19937& rng) {
    return handles[std::uniform_int_distribution<size_t>(0, 3)(rng)];
  });
  for (DWORD h : handles) {
    VexCam_StopPreview(h);
    EXPECT_EQ(VexCam_Release(h), 1);
  }
}

TEST_F(Abuse, ReleaseRacesCallsOnTheSameHandle) {
  AddCameras(2);
  const HWND notify = Window();
  const DWORD keeper = Open(notify, 1);  // another instance that must stay usable
  std::mt19937 rng(7);
  for (int round = 0; round < 6; ++round) {
    const DWORD h = Open(nullptr, 0);
    ASSERT_NE(h, 0u);
    std::atomic<DWORD> current{h};
    const int releaseAfterMs = std::uniform_int_distribution<int>(0, 400)(rng);
    std::thread releaser([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(releaseAfterMs));
      watchdog_.Enter(Watchdog::kSlots - 1, "VexCam_Release");
      EXPECT_EQ(VexCam_Release(h), 1);
      watchdog_.Leave(Watchdog::kSlots - 1);
    });
    Hammer(watchdog_, dir_, std::chrono::milliseconds(600),
           [&](std::mt19937&) { return current.load(); });
    releaser.join();
    EXPECT_EQ(VexCam_Release(h), 0);
    EXPECT_EQ(VexCam_GetWaitTime(h), -1);
  }
  EXPECT_NE(VexCam_Width(keeper), 0);
  EXPECT_EQ(VexCam_Release(keeper), 1);
}

}  // namespace
}  // namespace vexcam::abuse
