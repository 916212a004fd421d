// The simulated camera's frame path: frame timing and production, the
// trigger, and the bulk endpoints (frames, "QU3R"/"QU3W" memory access).
#include <algorithm>
#include <cstring>

#include "sim/sim_camera.h"
#include "sim/sim_camera_firmware.h"

namespace vexcam::sim {
namespace {

using namespace firmware;
using usb::TransferResult;
using usb::TransferStatus;

constexpr size_t kTriggerQueue = 8;                // captured frames the FPGA holds
constexpr uint64_t kMemoryLimit = 64ull << 20;     // memory behind "QU3W"/"QU3R"
constexpr uint32_t kBadDeviceStatus = 0xC0000004;  // any non-zero status
constexpr uint32_t kBlankingLines = 46;            // lines between frames

// Sensor registers holding the output window, used where no FPGA window exists.
constexpr uint16_t kSensorOutputWidth = 0x034C;
constexpr uint16_t kSensorOutputHeight = 0x034E;

}  // namespace

// ---------------------------------------------------------------- frame timing

uint64_t SimCamera::ComputePeriodNs() const {
  const PatternFrame p = CurrentPattern(0);
  double lineNs;
  if (product_.model == SimModel::kZA01) {
    // 16 pixels per clock plus 26 clocks of overhead per line at 9 MHz.
    uint32_t readout = fpga_[kRegReadoutLow] | fpga_[kRegReadoutHigh] << 8;
    if (readout == 0) readout = product_.width;
    lineNs = (readout * 0.0625 + 26.0) * 1e6 / product_.pixelClockKHz;
  } else {
    lineNs = product_.lineLength * 1e6 / product_.pixelClockKHz;
  }
  const uint64_t lines = std::max<uint64_t>(p.exposure, uint64_t{p.height} + kBlankingLines);
  return std::max<uint64_t>(1,
                            static_cast<uint64_t>(lineNs * static_cast<double>(lines)) / speedUp_);
}

void SimCamera::Retime() {
  const auto now = Clock::now();
  const uint64_t period = ComputePeriodNs();
  const bool trigger = (fpga_[kRegTrigger] & 1) != 0;
  if (period == periodNs_ && trigger == triggerMode_) return;
  clockBase_ = FrameClock(now);
  clockAnchor_ = now;
  periodNs_ = period;
  triggerMode_ = trigger;
  cv_.notify_all();
}

uint32_t SimCamera::FrameClock(Clock::time_point now) const {
  if (triggerMode_ || periodNs_ == 0) return clockBase_;
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now - clockAnchor_).count();
  return clockBase_ +
         static_cast<uint32_t>(std::max<int64_t>(elapsed, 0) / static_cast<int64_t>(periodNs_));
}

PatternFrame SimCamera::CurrentPattern(uint32_t tag) const {
  PatternFrame p;
  p.tag = tag;
  p.exposure = fpga_[kRegExposure0] | fpga_[kRegExposure1] << 8 | fpga_[kRegExposure2] << 16;
  if (product_.delivery == FrameDelivery::kAltEndpoint) {
    p.bits = commandByte_ == 1 ? 16 : 8;
    p.width = sensor_[kSensorOutputWidth];
    p.height = sensor_[kSensorOutputHeight];
  } else {
    p.bits = fpga_[kRegDataWidth] == 2 ? 16 : 8;
    p.width = fpga_[kRegWidthLow] | fpga_[kRegWidthHigh] << 8;
    p.height = fpga_[kRegHeightLow] | fpga_[kRegHeightHigh] << 8;
  }
  if (p.width == 0 || p.height == 0) {
    p.width = product_.width;
    p.height = product_.height;
  }
  if (product_.model == SimModel::kZA01) {
    // The smaller windows are centred horizontally; register 136 holds y / 4.
    p.x0 = p.width < product_.width ? (product_.width - p.width) / 2 : 0;
    p.y0 = fpga_[kRegWindowY] * 4u;
  }
  head_->ShapeFrame(ports_, p);
  return p;
}

void SimCamera::ArmFrame(uint8_t endpoint, bool header, bool fromCommand, uint32_t commandBytes) {
  const auto now = Clock::now();
  Clock::time_point readyAt;
  if (frame_.state == FrameState::kArmed && frame_.endpoint == endpoint) {
    readyAt = frame_.readyAt;  // a repeated request does not delay the frame further
  } else {
    readyAt = std::max(now, lastReady_ + std::chrono::nanoseconds(periodNs_));
    lastReady_ = readyAt;
  }
  frame_ = FrameUnit{};
  frame_.state = FrameState::kArmed;
  frame_.endpoint = endpoint;
  frame_.header = header;
  frame_.fromCommand = fromCommand;
  frame_.commandBytes = commandBytes;
  frame_.readyAt = readyAt;
  cv_.notify_all();
}

bool SimCamera::FrameReady(Clock::time_point now) const {
  if (triggerMode_) return !triggered_.empty();
  return now >= frame_.readyAt;
}

void SimCamera::ProduceFrame() {
  uint32_t tag;
  if (triggerMode_ && !triggered_.empty()) {
    tag = triggered_.front();
    triggered_.pop_front();
  } else {
    tag = ++tagCounter_;
  }
  frame_.pattern = CurrentPattern(tag);
  const uint64_t bytes = PatternFrameBytes(frame_.pattern);
  if (!frame_.fromCommand)
    frame_.total = std::min<uint64_t>(bytes, UINT32_MAX);
  else if (product_.wholeFrameAfterCommand)
    frame_.total = std::min<uint64_t>(((bytes >> 14) + 1) << 14, UINT32_MAX);
  else
    frame_.total = frame_.commandBytes;
  frame_.patternBytes = std::min(bytes, frame_.total);
  frame_.available = frame_.total;
  if (faultShort_ > 0) {
    --faultShort_;
    frame_.available = frame_.total / 2;
  }
  frame_.offset = 0;
  if (frame_.header) {
    uint8_t* h = frame_.headerBytes;
    std::memset(h, 0, sizeof(frame_.headerBytes));
    std::memcpy(h, "VSIM", 4);
    PutU32(h + 4, frame_.pattern.width);
    PutU32(h + 8, frame_.pattern.height);
    PutU32(h + 12, static_cast<uint32_t>(frame_.pattern.bits));
    PutU32(h + 16, static_cast<uint32_t>(frame_.total));
    PutU32(h + 20, frame_.pattern.x0);
    PutU32(h + 24, frame_.pattern.y0);
    PutU32(h + 28, frame_.pattern.exposure);
    PutU32(h + 32, tag);
    PutU32(h + 36, FrameClock(Clock::now()));
    frame_.state = FrameState::kHeader;
  } else {
    frame_.state = frame_.total > 0 ? FrameState::kPayload : FrameState::kIdle;
  }
  lastFrame_.pattern = frame_.pattern;
  lastFrame_.payloadBytes = static_cast<uint32_t>(frame_.total);
  lastFrame_.valid = true;
}

void SimCamera::DropStream() {
  frame_ = FrameUnit{};
  memRead_ = MemoryUnit{};
  memWrite_ = MemoryUnit{};
  cv_.notify_all();
}

bool SimCamera::Trigger() {
  std::lock_guard lock(mutex_);
  if (!plugged_ || !triggerMode_) return false;
  triggered_.push_back(++tagCounter_);
  if (triggered_.size() > kTriggerQueue) triggered_.pop_front();
  ++clockBase_;
  cv_.notify_all();
  return true;
}

void SimCamera::SetSpeedUp(uint32_t factor) {
  std::lock_guard lock(mutex_);
  AdvanceThermal(Clock::now());
  speedUp_ = std::max<uint32_t>(factor, 1);
  Retime();
}

uint64_t SimCamera::FramePeriodNs() const {
  std::lock_guard lock(mutex_);
  return periodNs_;
}

SimFrameInfo SimCamera::LastFrame() const {
  std::lock_guard lock(mutex_);
  return lastFrame_;
}

// ---------------------------------------------------------------- bulk transfers

bool SimCamera::WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
  if (until == Clock::time_point::max()) {
    cv_.wait(lock);
    return true;
  }
  return cv_.wait_until(lock, until) == std::cv_status::no_timeout || Clock::now() < until;
}

TransferResult SimCamera::BulkTransfer(uint32_t generation, uint8_t endpoint, uint8_t* data,
                                       uint32_t length, uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  const uint32_t mark = cancelMark_[endpoint];
  const bool in = (endpoint & 0x80) != 0;
  const auto deadline = timeoutMs == 0 ? Clock::time_point::max()
                                       : Clock::now() + std::chrono::milliseconds(timeoutMs);
  TransferResult result;
  if (!Alive(generation)) {
    result.status = TransferStatus::kNoDevice;
  } else if (data == nullptr && length > 0) {
    result.status = TransferStatus::kError;
  } else if (faultStalls_ > 0) {
    --faultStalls_;
    result.status = TransferStatus::kStalled;
  } else if (faultTimeouts_ > 0) {
    --faultTimeouts_;
    result.status = TransferStatus::kTimedOut;
    while (true) {
      if (!Alive(generation)) {
        result.status = TransferStatus::kNoDevice;
        break;
      }
      if (cancelMark_[endpoint] != mark) {
        result.status = TransferStatus::kCancelled;
        break;
      }
      if (!WaitUntil(lock, deadline)) break;
    }
  } else {
    const bool bad = faultBadStatus_ > 0;
    if (bad) --faultBadStatus_;
    result = in ? BulkIn(lock, generation, endpoint, data, length, deadline, mark)
                : BulkOut(endpoint, data, length);
    if (bad && result.status == TransferStatus::kCompleted) result.deviceStatus = kBadDeviceStatus;
  }
  RecordBulk(endpoint, in, length, result, data);
  return result;
}

TransferResult SimCamera::BulkIn(std::unique_lock<std::mutex>& lock, uint32_t generation,
                                 uint8_t endpoint, uint8_t* data, uint32_t length,
                                 Clock::time_point deadline, uint32_t cancelMark) {
  TransferResult result;
  while (true) {
    if (!Alive(generation)) {
      result.status = TransferStatus::kNoDevice;
      return result;
    }
    if (cancelMark_[endpoint] != cancelMark) {
      result.status = TransferStatus::kCancelled;
      return result;
    }
    const auto now = Clock::now();
    if (endpoint == kEndpointIn && memRead_.active) {
      const uint64_t n = std::min<uint64_t>(length, memRead_.remaining);
      for (uint64_t i = 0; i < n; ++i) {
        const uint64_t a = memRead_.address + i;
        data[i] = a < memory_.size() ? memory_[a] : 0;
      }
      memRead_.address += n;
      memRead_.remaining -= n;
      if (memRead_.remaining == 0) memRead_.active = false;
      result.status = TransferStatus::kCompleted;
      result.transferred = static_cast<uint32_t>(n);
      return result;
    }
    if (frame_.state != FrameState::kIdle && frame_.endpoint == endpoint) {
      if (frame_.state == FrameState::kArmed && FrameReady(now)) ProduceFrame();
      if (frame_.state == FrameState::kHeader) {
        const uint32_t n = std::min<uint32_t>(length, sizeof(frame_.headerBytes));
        std::memcpy(data, frame_.headerBytes, n);
        frame_.state = frame_.total > 0 ? FrameState::kPayload : FrameState::kIdle;
        result.status = TransferStatus::kCompleted;
        result.transferred = n;
        return result;
      }
      if (frame_.state == FrameState::kPayload && frame_.offset < frame_.available) {
        const uint64_t n = std::min<uint64_t>(length, frame_.available - frame_.offset);
        const uint64_t offset = frame_.offset;
        const uint64_t patternBytes = frame_.patternBytes;
        const PatternFrame pattern = frame_.pattern;
        frame_.offset += n;
        if (frame_.offset >= frame_.total) frame_.state = FrameState::kIdle;
        // The range is reserved; fill it without holding the camera lock so
        // that control requests are not held up by large frames.
        lock.unlock();
        const uint64_t fromPattern = offset < patternBytes ? std::min(n, patternBytes - offset) : 0;
        if (fromPattern > 0) CopyPatternBytes(pattern, offset, data, fromPattern);
        if (n > fromPattern) std::memset(data + fromPattern, 0, n - fromPattern);
        lock.lock();
        result.status = TransferStatus::kCompleted;
        result.transferred = static_cast<uint32_t>(n);
        return result;
      }
    }
    if (now >= deadline) {
      result.status = TransferStatus::kTimedOut;
      return result;
    }
    auto until = deadline;
    if (frame_.state == FrameState::kArmed && frame_.endpoint == endpoint && !triggerMode_)
      until = std::min(until, frame_.readyAt);
    WaitUntil(lock, until);
  }
}

TransferResult SimCamera::BulkOut(uint8_t endpoint, const uint8_t* data, uint32_t length) {
  TransferResult result;
  if (endpoint != kEndpointOut) {
    result.status = TransferStatus::kStalled;
    return result;
  }
  if (memWrite_.active) {
    const uint64_t n = std::min<uint64_t>(length, memWrite_.remaining);
    if (memWrite_.address + n > kMemoryLimit) {
      memWrite_ = MemoryUnit{};
      result.status = TransferStatus::kStalled;
      return result;
    }
    if (memory_.size() < memWrite_.address + n) memory_.resize(memWrite_.address + n, 0);
    std::memcpy(memory_.data() + memWrite_.address, data, n);
    memWrite_.address += n;
    memWrite_.remaining -= n;
    if (memWrite_.remaining == 0) memWrite_.active = false;
    result.status = TransferStatus::kCompleted;
    result.transferred = static_cast<uint32_t>(n);
    return result;
  }
  // 32-byte command block: magic, u32 2, u64 address, u32 byte count.
  const bool read = length == 32 && std::memcmp(data, "QU3R", 4) == 0;
  const bool write = length == 32 && std::memcmp(data, "QU3W", 4) == 0;
  if ((!read && !write) || GetU32(data + 4) != 2) {
    result.status = TransferStatus::kStalled;
    return result;
  }
  const uint64_t address = uint64_t{GetU32(data + 8)} | uint64_t{GetU32(data + 12)} << 32;
  const uint32_t count = GetU32(data + 16);
  if (read && address == 0 && product_.delivery == FrameDelivery::kCommand) {
    ArmFrame(kEndpointIn, false, true, count);
  } else if (read) {
    memRead_ = MemoryUnit{true, address, count};
  } else {
    memWrite_ = MemoryUnit{count > 0, address, count};
  }
  cv_.notify_all();
  result.status = TransferStatus::kCompleted;
  result.transferred = length;
  return result;
}

bool SimCamera::CancelPending(uint32_t generation, uint8_t endpoint) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  ++cancelMark_[endpoint];
  cv_.notify_all();
  return true;
}

bool SimCamera::ClearHalt(uint32_t generation, uint8_t /*endpoint*/) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  faultStalls_ = 0;
  return true;
}

bool SimCamera::ResetPort(uint32_t generation) {
  std::lock_guard lock(mutex_);
  if (!Alive(generation)) return false;
  DropStream();
  return true;
}

}  // namespace vexcam::sim
