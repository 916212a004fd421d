#include "imaging/row_workers.h"

#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace vexcam {

namespace {

constexpr int64_t kSplitPixels = 1000000;

// The steps of one frame follow each other within microseconds, and waking a
// sleeping thread can take longer than that: a thread that has finished its
// bands looks for the next step (or the frame's end) this long before it
// sleeps.
constexpr auto kSpin = std::chrono::microseconds(50);

// Spins until done() or kSpin has passed; returns done().
template <typename F>
bool SpinFor(F&& done) {
  const auto end = std::chrono::steady_clock::now() + kSpin;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (done()) return true;
      _mm_pause();
    }
    if (std::chrono::steady_clock::now() >= end) return done();
  }
}

}  // namespace

RowWorkers::~RowWorkers() { Stop(); }

int RowWorkers::Start(int parts) {
  parts = std::clamp(parts, 1, kMaxParts);
  if (parts == Parts()) return parts;
  Stop();
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation = generation_;
  }
  for (int p = 1; p < parts; ++p) {
    try {
      // The thread starts from the generation of now, so a frame run
      // before it first takes the lock is not missed.
      threads_.emplace_back([this, p, generation] { Loop(p, generation); });
    } catch (const std::system_error&) {
      break;  // run with the threads that did start
    }
  }
  return Parts();
}

void RowWorkers::Stop() {
  if (threads_.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
  threads_.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  stop_ = false;
}

void RowWorkers::TakeBands(uint32_t gen, BandFn fn, void* ctx, int bands, int part) {
  for (;;) {
    uint64_t c = claim_.load(std::memory_order_acquire);
    do {
      if (static_cast<uint32_t>(c >> 32) != gen ||
          static_cast<uint32_t>(c) >= static_cast<uint32_t>(bands))
        return;
    } while (!claim_.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel));
    fn(ctx, part, static_cast<int>(static_cast<uint32_t>(c)));
    if (finished_.fetch_add(1, std::memory_order_acq_rel) + 1 == bands) {
      // Under the lock, so the caller cannot miss it between test and wait.
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_one();
    }
  }
}

void RowWorkers::RunBands(BandFn fn, void* ctx, int bands) {
  uint32_t gen;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    ctx_ = ctx;
    bands_ = bands;
    gen = static_cast<uint32_t>(++generation_);
    finished_.store(0, std::memory_order_relaxed);
    claim_.store(uint64_t{gen} << 32, std::memory_order_release);
  }
  wake_.notify_all();
  TakeBands(gen, fn, ctx, bands, 0);
  SpinFor([&] { return finished_.load(std::memory_order_acquire) == bands; });
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return finished_.load(std::memory_order_acquire) == bands; });
}

void RowWorkers::Loop(int part, uint64_t seen) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (generation_ == seen && !stop_) {
      lock.unlock();
      // The next step publishes its generation in claim_ before the wake.
      SpinFor([&] {
        return static_cast<uint32_t>(claim_.load(std::memory_order_acquire) >> 32) !=
                   static_cast<uint32_t>(seen) ||
               stop_.load(std::memory_order_relaxed);
      });
      lock.lock();
    }
    wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    const BandFn fn = fn_;
    void* ctx = ctx_;
    const int bands = bands_;
    lock.unlock();
    TakeBands(static_cast<uint32_t>(seen), fn, ctx, bands, part);
    lock.lock();
  }
}

int RowWorkerParts(int width, int height, int requested) {
  if (requested > 0) return std::min(requested, RowWorkers::kMaxParts);
  if (int64_t{width} * height < kSplitPixels) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, RowWorkers::kMaxParts);
}

}  // namespace vexcam
