#include "platform/event.h"

#include <chrono>

namespace vexcam {

Event::Event(bool manualReset, bool initiallySignalled)
    : manual_reset_(manualReset), signalled_(initiallySignalled) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (signalled_) return;
    signalled_ = true;
  }
  if (manual_reset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto signalled = [this] { return signalled_; };
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, signalled);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), signalled)) {
    return WaitResult::kTimeout;
  }
  if (!manual_reset_) signalled_ = false;
  return WaitResult::kSignalled;
}

}  // namespace vexcam
