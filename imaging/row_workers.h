#pragma once

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
  // 0..rows-1, one per part (fewer when there are fewer rows), and returns
  // when all have finished. fn must not call back into the pool.
  template <typename F>
  void ForEachBand(int rows, F&& fn) {
    const int parts = rows < Parts() ? (rows > 0 ? rows : 1) : Parts();
    if (parts == 1) {
      fn(0, 0, rows);
      return;
    }
    using Fn = std::remove_reference_t<F>;
    struct Ctx {
      Fn* fn;
      int rows;
      int parts;
    } ctx{&fn, rows, parts};
    RunParts(
        [](void* c, int part) {
          auto* x = static_cast<Ctx*>(c);
          if (part >= x->parts) return;
          const int first = static_cast<int>(int64_t{x->rows} * part / x->parts);
          const int end = static_cast<int>(int64_t{x->rows} * (part + 1) / x->parts);
          (*x->fn)(part, first, end);
        },
        &ctx);
  }

 private:
  using PartFn = void (*)(void*, int);
  void RunParts(PartFn fn, void* ctx);
  void Loop(int part, uint64_t seen);

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  // Guarded by mutex_.
  PartFn fn_ = nullptr;
  void* ctx_ = nullptr;
  uint64_t generation_ = 0;
  int pending_ = 0;
  bool stop_ = false;
};

// The pool width for a frame: `requested` when above 0, else the number of
// processors up to kMaxParts; 1 for frames under about a megapixel, where
// waking the threads costs more than the split saves.
int RowWorkerParts(int width, int height, int requested);

}  // namespace vexcam
