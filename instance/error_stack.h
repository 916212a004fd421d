#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace vexcam {

// The per-instance stack of error codes: 20 entries, entry 0 the newest.
// Pushing shifts every entry down and loses the oldest; popping shifts them up
// and reads 0 once empty. Worker threads push too, so it has its own lock.
class ErrorStack {
 public:
  static constexpr size_t kDepth = 20;

  void Push(uint32_t code);
  uint32_t Pop();

 private:
  std::mutex mutex_;
  std::array<uint32_t, kDepth> codes_{};  // guarded by mutex_
};

}  // namespace vexcam
