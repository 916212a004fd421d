#include "sensors/temperature_monitor.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/clock.h"

namespace vexcam {

TemperatureMonitor::TemperatureMonitor(Hooks hooks, Timing timing)
    : hooks_(std::move(hooks)),
      timing_{.window = std::clamp<size_t>(timing.window, 1, kMaxWindow),
              .periodMs = timing.periodMs,
              .gapMs = timing.gapMs} {}

TemperatureMonitor::~TemperatureMonitor() { Join(); }

void TemperatureMonitor::Start() {
  Join();
  std::lock_guard<std::mutex> control(control_lock_);
  if (thread_.joinable()) return;  // another caller started one meanwhile
  Clear();
  const uint64_t generation = ++next_gen_;
  active_gen_.store(generation);
  thread_ = std::thread([this, generation] { MonitorLoop(generation); });
}

void TemperatureMonitor::Stop() {
  Join();
  Clear();
}

void TemperatureMonitor::Join() {
  std::thread old;
  {
    std::lock_guard<std::mutex> control(control_lock_);
    {
      std::lock_guard<std::mutex> lock(wait_lock_);
      active_gen_.store(0);
    }
    old = std::move(thread_);
  }
  wake_.notify_all();
  if (old.joinable()) old.join();
}

void TemperatureMonitor::Clear() {
  CsLock lock(sample_lock_);
  next_ = 0;
  count_ = 0;
}

void TemperatureMonitor::Push(uint16_t sample) {
  CsLock lock(sample_lock_);
  samples_[next_] = sample;  // overwrites the oldest once the window is full
  next_ = (next_ + 1) % timing_.window;
  if (count_ < timing_.window) ++count_;
}

size_t TemperatureMonitor::SampleCount() {
  CsLock lock(sample_lock_);
  return count_;
}

bool TemperatureMonitor::Mean(double* mean) {
  uint64_t sum = 0;
  size_t n = 0;
  {
    CsLock lock(sample_lock_);
    n = count_;
    for (size_t i = 0; i < n; ++i) sum += samples_[i];
  }
  if (n == 0 || mean == nullptr) return false;
  *mean = static_cast<double>(sum) / static_cast<double>(n);
  return true;
}

bool TemperatureMonitor::Wait(uint64_t generation, uint32_t ms) {
  TimerResolution resolution(1);
  std::unique_lock<std::mutex> lock(wait_lock_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms),
                 [&] { return active_gen_.load() != generation; });
  return active_gen_.load() == generation;
}

void TemperatureMonitor::MonitorLoop(uint64_t generation) {
  while (active_gen_.load() == generation && hooks_.enabled()) {
    if (!Wait(generation, timing_.periodMs)) break;
    uint16_t sample = 0;
    switch (hooks_.poll(&sample)) {
      case Poll::kDiscard:
        Clear();
        break;
      case Poll::kSample:
        Push(sample);
        break;
      case Poll::kNothing:
        break;
    }
    if (!Wait(generation, timing_.gapMs)) break;
  }
}

}  // namespace vexcam
