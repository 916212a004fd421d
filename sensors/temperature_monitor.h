#pragma once
// The temperature monitor of the cooled cameras: a worker thread that polls
// the driver's ADC every period and keeps a moving window of valid samples,
// from which the driver reports the mean. The driver supplies two hooks; the
// monitor owns the thread, its stop signal and the sample queue.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/critical_section.h"

namespace vexcam {

class TemperatureMonitor {
 public:
  // What one poll found.
  enum class Poll {
    kSample,   // a valid sample: queue it
    kNothing,  // no valid reading this cycle
    kDiscard,  // the old samples no longer describe the sensor: drop them
  };
  struct Hooks {
    std::function<bool()> enabled;        // checked before each cycle; false ends the thread
    std::function<Poll(uint16_t*)> poll;  // one reading, on the monitor thread
  };
  // The sample window lives in the monitor itself: polling never allocates.
  static constexpr size_t kMaxWindow = 64;
  struct Timing {
    size_t window = 19;       // samples kept, at most kMaxWindow
    uint32_t periodMs = 100;  // wait before each poll
    uint32_t gapMs = 1;       // wait after each poll
  };

  TemperatureMonitor(Hooks hooks, Timing timing);
  ~TemperatureMonitor();  // stops and joins
  TemperatureMonitor(const TemperatureMonitor&) = delete;
  TemperatureMonitor& operator=(const TemperatureMonitor&) = delete;

  // Starts a fresh monitor (an old one is stopped first, its samples dropped).
  void Start();
  // Stops and joins the thread outside every lock, then drops the samples.
  void Stop();
  bool IsRunning() const { return active_gen_.load() != 0; }
  void Clear();
  size_t SampleCount();
  // Mean of the queued samples; false when there are none.
  bool Mean(double* mean);

 private:
  void MonitorLoop(uint64_t generation);
  void Push(uint16_t sample);
  // Waits ms milliseconds; false when the monitor of this generation must stop.
  bool Wait(uint64_t generation, uint32_t ms);
  void Join();

  const Hooks hooks_;
  const Timing timing_;
  CriticalSection sample_lock_;
  // Ring of the latest samples, guarded by sample_lock_.
  std::array<uint16_t, kMaxWindow> samples_{};
  size_t next_ = 0;   // slot of the next sample
  size_t count_ = 0;  // valid samples
  // Each thread runs while active_gen_ holds its own generation, so a thread
  // told to stop never resumes, even if another one starts at once.
  std::atomic<uint64_t> active_gen_{0};  // 0: no monitor should run
  std::mutex wait_lock_;                 // pairs with wake_
  std::condition_variable wake_;         // cuts the thread's waits short
  std::mutex control_lock_;              // guards thread_ and next_gen_
  std::thread thread_;
  uint64_t next_gen_ = 0;
};

}  // namespace vexcam
