#pragma once
// What the transfer thread of a camera did since the counters were last
// reset: read by the instance for its stream statistics. Every field is an
// atomic written by the transfer thread or the frame reader and read by any
// thread; relaxed order is enough, the fields are independent tallies.

#include <atomic>
#include <cstdint>

namespace vexcam {

struct TransferCounters {
  std::atomic<uint64_t> framesReceived{0};  // whole frames stored in the ring
  std::atomic<uint64_t> bytesReceived{0};   // their payload bytes
  std::atomic<uint64_t> overwritten{0};     // stored, then replaced before a reader took them
  std::atomic<uint64_t> incomplete{0};      // frames begun but not received whole or as programmed
  std::atomic<uint64_t> retries{0};         // failed reads followed by another attempt
  std::atomic<uint64_t> pipeResets{0};      // pipe or port resets on the way to a retry
  std::atomic<uint64_t> giveUps{0};         // transfer loops that ended as broken

  static void Add(std::atomic<uint64_t>& counter, uint64_t n = 1) {
    counter.fetch_add(n, std::memory_order_relaxed);
  }
  static uint64_t Get(const std::atomic<uint64_t>& counter) {
    return counter.load(std::memory_order_relaxed);
  }
  void Reset() {
    for (std::atomic<uint64_t>* c : {&framesReceived, &bytesReceived, &overwritten, &incomplete,
                                     &retries, &pipeResets, &giveUps}) {
      c->store(0, std::memory_order_relaxed);
    }
  }
};

}  // namespace vexcam
