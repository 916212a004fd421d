#include "platform/clock.h"

#include <sched.h>
#include <cerrno>
#include <ctime>

namespace vexcam {
namespace {

uint64_t ReadMs(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace

uint32_t TimeGetTime() { return static_cast<uint32_t>(ReadMs(CLOCK_MONOTONIC)); }

uint32_t GetTickCount() { return static_cast<uint32_t>(ReadMs(CLOCK_MONOTONIC_COARSE)); }

uint64_t MonotonicMs() { return ReadMs(CLOCK_MONOTONIC); }

void SleepMs(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  // An absolute deadline keeps the total right when a signal interrupts us.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(ms / 1000u);
  deadline.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {}
}

}  // namespace vexcam
