#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vexcam {

// Wait without time limit.
constexpr uint32_t kInfinite = 0xFFFFFFFF;

enum class WaitResult { kSignalled, kTimeout };

// A kernel-style event. An auto-reset event releases exactly one waiter per
// Set and then clears itself; a manual-reset event stays signalled, releasing
// every waiter, until Reset. Setting an event that is already signalled has
// no further effect.
class Event {
 public:
  explicit Event(bool manualReset, bool initiallySignalled = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits until the event is signalled or timeoutMs have passed (kInfinite:
  // no limit, 0: just test). An auto-reset event is consumed by the waiter
  // that sees it.
  WaitResult Wait(uint32_t timeoutMs);

 private:
  const bool manual_reset_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;  // guarded by mutex_
};

}  // namespace vexcam
