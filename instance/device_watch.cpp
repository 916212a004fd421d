#include "instance/device_watch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "platform/message_window.h"
#include "transport/fx3_api.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam {

namespace {

constexpr auto kPollPeriod = std::chrono::milliseconds(500);

using PathSet = std::set<std::string>;

PathSet Snapshot() {
  std::vector<std::string> present = CFx3Api::PresentDevicePaths();
  return PathSet(present.begin(), present.end());
}

// The process-wide watcher. Its thread runs while windows_ is not empty.
class Watcher {
 public:
  static Watcher& Instance() {
    static Watcher watcher;
    return watcher;
  }

  Watcher() {
    // USB access must outlive the watcher's thread, which is joined in our
    // destructor: set it up first so that it is destroyed after us.
    CFx3Api::EnsureUsbAccess();
  }

  ~Watcher() {
    std::jthread finished;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished = std::move(thread_);
    }
    Stop(finished);
  }

  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  void Register(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.push_back(window);
    if (thread_.joinable()) return;
    // The baseline is taken now, so a camera plugged in right after the
    // instance was initialised is reported as an arrival.
    PathSet baseline = Snapshot();
    thread_ = std::jthread([this, baseline = std::move(baseline)](std::stop_token stop) mutable {
      Run(stop, std::move(baseline));
    });
  }

  void Unregister(HWND window) {
    std::jthread finished;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = std::find(windows_.begin(), windows_.end(), window);
      if (it != windows_.end()) windows_.erase(it);
      if (windows_.empty()) finished = std::move(thread_);
    }
    Stop(finished);  // outside the lock: the thread takes it to sleep
  }

 private:
  void Stop(std::jthread& thread) {
    if (!thread.joinable()) return;
    thread.request_stop();
    wake_.notify_all();
    thread.join();
  }

  void Run(std::stop_token stop, PathSet known) {
    while (!stop.stop_requested()) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, stop, kPollPeriod, [] { return false; });
      }
      if (stop.stop_requested()) break;
      PathSet now = Snapshot();
      size_t arrivals = 0;
      size_t removals = 0;
      for (const std::string& path : now) {
        if (known.count(path) != 0) continue;
        ++arrivals;
        VEXCAM_DEBUG(kDebugCamera, "device arrived: %s", path.c_str());
      }
      for (const std::string& path : known) {
        if (now.count(path) != 0) continue;
        ++removals;
        VEXCAM_DEBUG(kDebugCamera, "device removed: %s", path.c_str());
      }
      known = std::move(now);
      if (arrivals == 0 && removals == 0) continue;
      std::vector<HWND> windows;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        windows = windows_;
      }
      // One message per device that changed, as one broadcast per interface.
      for (HWND window : windows) {
        for (size_t i = 0; i < removals; ++i) {
          PostWindowMessage(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
        }
        for (size_t i = 0; i < arrivals; ++i) {
          PostWindowMessage(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        }
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::vector<HWND> windows_;  // guarded by mutex_; one entry per registration
  std::jthread thread_;        // guarded by mutex_
};

}  // namespace

DeviceWatch::DeviceWatch(HWND window) : window_(window) { Watcher::Instance().Register(window); }

DeviceWatch::~DeviceWatch() { Watcher::Instance().Unregister(window_); }

}  // namespace vexcam
