#pragma once
// Stream statistics of an instance: what the capture threads delivered since
// the last capture preparation, beside the camera's transfer tallies. Every
// field is an atomic, updated by the worker and the caller's thread and read
// by any thread without a lock.

#include <atomic>
#include <cstdint>

#include "camera/transfer_counters.h"
#include "vexcam/VexCamLinux.h"

namespace vexcam {

class StreamStats {
 public:
  // Zeroes the tallies and starts the clock (the camera's counters are reset
  // by the caller).
  void Start();
  // Stops the clock: rates stay those of the finished stream.
  void Stop();
  void FrameDelivered() { delivered_.fetch_add(1, std::memory_order_relaxed); }
  void RecorderSkipped() { recorderSkipped_.fetch_add(1, std::memory_order_relaxed); }
  // Fills as much of *out as its size field allows, whole fields only (the
  // size field itself is left as given). False, nothing written, when the
  // size is below kMinimumSize.
  bool Fill(uint32_t state, const TransferCounters* camera, VEXCAM_STREAM_STATS* out) const;

  static constexpr uint32_t kMinimumSize = 16;  // size, state and the first tally

 private:
  std::atomic<uint64_t> delivered_{0};
  std::atomic<uint64_t> recorderSkipped_{0};
  std::atomic<int64_t> startNs_{0};  // 0: never started
  std::atomic<int64_t> stopNs_{0};   // 0: running (or never started)
};

}  // namespace vexcam
