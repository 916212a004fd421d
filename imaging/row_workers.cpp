#include "imaging/row_workers.h"

#include <algorithm>
#include <system_error>

namespace vexcam {

namespace {

constexpr int64_t kSplitPixels = 1000000;

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

void RowWorkers::RunParts(PartFn fn, void* ctx) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    ctx_ = ctx;
    pending_ = static_cast<int>(threads_.size());
    ++generation_;
  }
  wake_.notify_all();
  fn(ctx, 0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
}

void RowWorkers::Loop(int part, uint64_t seen) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    const PartFn fn = fn_;
    void* ctx = ctx_;
    lock.unlock();
    fn(ctx, part);
    lock.lock();
    if (--pending_ == 0) done_.notify_one();
  }
}

int RowWorkerParts(int width, int height, int requested) {
  if (requested > 0) return std::min(requested, RowWorkers::kMaxParts);
  if (int64_t{width} * height < kSplitPixels) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, RowWorkers::kMaxParts);
}

}  // namespace vexcam
