#include "instance/stream_stats.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vexcam {

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double PerSecond(uint64_t count, double seconds) {
  return seconds > 0.0 ? static_cast<double>(count) / seconds : 0.0;
}

}  // namespace

void StreamStats::Start() {
  delivered_.store(0, std::memory_order_relaxed);
  recorderSkipped_.store(0, std::memory_order_relaxed);
  stopNs_.store(0);
  startNs_.store(std::max<int64_t>(NowNs(), 1));
}

void StreamStats::Stop() {
  if (startNs_.load() != 0 && stopNs_.load() == 0) stopNs_.store(std::max<int64_t>(NowNs(), 1));
}

bool StreamStats::Fill(uint32_t state, const TransferCounters* camera,
                       VEXCAM_STREAM_STATS* out) const {
  if (out->size < kMinimumSize) return false;
  VEXCAM_STREAM_STATS s{};
  s.size = out->size;
  s.state = state;
  s.framesDelivered = delivered_.load(std::memory_order_relaxed);
  s.framesSkippedByRecorder = recorderSkipped_.load(std::memory_order_relaxed);
  if (camera != nullptr) {
    using C = TransferCounters;
    s.framesReceived = C::Get(camera->framesReceived);
    s.framesOverwritten = C::Get(camera->overwritten);
    s.framesIncomplete = C::Get(camera->incomplete);
    s.transferRetries = C::Get(camera->retries);
    s.pipeResets = C::Get(camera->pipeResets);
    s.giveUps = C::Get(camera->giveUps);
    s.bytesReceived = C::Get(camera->bytesReceived);
  }
  s.framesDropped = s.framesOverwritten + s.framesSkippedByRecorder;
  const int64_t start = startNs_.load();
  if (start != 0) {
    const int64_t stop = stopNs_.load();
    s.seconds = static_cast<double>((stop != 0 ? stop : NowNs()) - start) / 1e9;
  }
  s.frameRate = PerSecond(s.framesDelivered, s.seconds);
  s.cameraFrameRate = PerSecond(s.framesReceived, s.seconds);
  s.bytesPerSecond = PerSecond(s.bytesReceived, s.seconds);
  // Whole fields only: after the two 32-bit fields every field is 8 bytes.
  const size_t head = offsetof(VEXCAM_STREAM_STATS, framesReceived);
  const size_t n = std::min(sizeof(s), head + (out->size - head) / 8 * 8);
  std::memcpy(out, &s, n);
  return true;
}

}  // namespace vexcam
