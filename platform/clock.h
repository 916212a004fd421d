#pragma once

#include <cstdint>

namespace vexcam {

// Milliseconds of the monotonic clock, truncated to 32 bits: wraps about
// every 49.7 days. Compare readings only through ElapsedMs / TimeReached.
uint32_t TimeGetTime();
// Same time base as TimeGetTime but read from the coarse clock (cheaper, may
// lag by a few milliseconds).
uint32_t GetTickCount();
// Milliseconds of the monotonic clock, 64 bits (never wraps in practice).
uint64_t MonotonicMs();

// Milliseconds from start to now, correct across one wrap of the 32-bit clock.
constexpr uint32_t ElapsedMs(uint32_t start, uint32_t now) { return now - start; }
// True once now has reached deadline; valid while the two lie less than
// 2^31 ms (about 24.8 days) apart, across a wrap as well.
constexpr bool TimeReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

// Sleeps at least ms milliseconds, resuming after signal interruptions.
// SleepMs(0) gives up the rest of the time slice.
void SleepMs(uint32_t ms);

// Scope of a raised timer resolution around short waits. Linux timers and
// sleeps already resolve well below a millisecond, so this does nothing; it
// keeps the intent visible where the code needs 1 ms accuracy.
class TimerResolution {
 public:
  explicit TimerResolution(uint32_t periodMs = 1) : period_ms_(periodMs) {}
  ~TimerResolution() = default;
  TimerResolution(const TimerResolution&) = delete;
  TimerResolution& operator=(const TimerResolution&) = delete;

  uint32_t PeriodMs() const { return period_ms_; }

 private:
  uint32_t period_ms_;
};

}  // namespace vexcam
