#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace vexcam {

// A small pool that splits row-independent work of one frame into bands.
// The calling thread runs band 0 and waits for the others, so a pool of n
// parts owns n - 1 threads. Threads are started by Start (once per capture
// preparation) and stopped and joined by Stop or the destructor; a frame only
// wakes them. One caller at a time.
class RowWorkers {
 public:
  static constexpr int kMaxParts = 8;

  RowWorkers() = default;
  ~RowWorkers();
  RowWorkers(const RowWorkers&) = delete;
  RowWorkers& operator=(const RowWorkers&) = delete;

  // Makes the pool `parts` wide (clamped to 1..kMaxParts), keeping the
  // threads when the width is unchanged. When a thread cannot be started
  // the pool stays narrower; returns the width in force.
  int Start(int parts);
  void Stop();
  int Parts() const { return static_cast<int>(threads_.size()) + 1; }

  // Calls fn(part, first row, end row) for consecutive bands covering rows
  // 0..rows-1 and returns when all have finished. The bands (up to
  // kBandsPerPart per part) go to whichever thread is free, so a thread that
  // starts late, or not at all, does not hold up the frame; `part` is the
  // index of the running thread (0 the caller), and the calls of one part
  // run one after another. fn must not call back into the pool.
  template <typename F>
  void ForEachBand(int rows, F&& fn) {
    const int bands = std::min(rows, Parts() * kBandsPerPart);
    if (Parts() == 1 || bands <= 1) {
      fn(0, 0, rows);
      return;
    }
    using Fn = std::remove_reference_t<F>;
    struct Ctx {
      Fn* fn;
      int rows;
      int bands;
    } ctx{&fn, rows, bands};
    RunBands(
        [](void* c, int part, int band) {
          auto* x = static_cast<Ctx*>(c);
          const int first = static_cast<int>(int64_t{x->rows} * band / x->bands);
          const int end = static_cast<int>(int64_t{x->rows} * (band + 1) / x->bands);
          (*x->fn)(part, first, end);
        },
        &ctx, bands);
  }

 private:
  // Enough bands that a late thread's share is small, few enough that each
  // still runs many rows.
  static constexpr int kBandsPerPart = 8;

  using BandFn = void (*)(void*, int, int);
  void RunBands(BandFn fn, void* ctx, int bands);
  // Claims and runs bands of generation `gen` until none is left.
  void TakeBands(uint32_t gen, BandFn fn, void* ctx, int bands, int part);
  void Loop(int part, uint64_t seen);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  // Guarded by mutex_.
  BandFn fn_ = nullptr;
  void* ctx_ = nullptr;
  int bands_ = 0;
  uint64_t generation_ = 0;
  // Low 32 bits of the generation over the next unclaimed band: a thread
  // that wakes after its frame has ended finds another generation or no band
  // left and never touches the frame's context.
  std::atomic<uint64_t> claim_{0};
  std::atomic<int> finished_{0};  // bands of the current frame done
  // Set under mutex_ (for the waits), read without it by the threads' spin.
  std::atomic<bool> stop_{false};
};

// The pool width for a frame: `requested` when above 0, else the number of
// processors up to kMaxParts; 1 for frames under about a megapixel, where
// waking the threads costs more than the split saves.
int RowWorkerParts(int width, int height, int requested);

}  // namespace vexcam
