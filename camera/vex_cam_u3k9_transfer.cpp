// Frame acquisition of the camera device model: the transfer thread and its
// loops for each frame path, the single grab, and the frame copy-out.
#include <cstdio>
#include <string>

#include "camera/fpga_registers.h"
#include "camera/vex_cam_u3k9_base.h"
#include "platform/clock.h"
#include "platform/debug_log.h"

namespace vexcam {

namespace {

constexpr uint32_t kTransferRetries = 5;
constexpr uint32_t kCommandRetries = 10;
constexpr uint32_t kAltRetries = 10;
constexpr uint32_t kAltGiveUpMs = 10000;
constexpr uint32_t kGrabPayloadTimeoutMs = 3000;

// In next-frame mode some cameras do not resend a frame: a failure is final.
bool GivesUpAtOnce(const ProductRow& row, uint32_t mode) {
  return row.retry == RetryRule::kNoRetryOnNext && mode == kCaptureNextFrame;
}

uint32_t RetryLimit(FramePath path) {
  switch (path) {
    case FramePath::kHeaders:
      return kTransferRetries;
    case FramePath::kCommandFrames:
      return kCommandRetries;
    case FramePath::kAltEndpoint:
      return kAltRetries;
  }
  return kTransferRetries;
}

}  // namespace

const char* CVexCamU3K9Base::FailureCause(FramePath path, const FrameAttempt& attempt) {
  switch (path) {
    case FramePath::kAltEndpoint:
      return "whole-frame read failed";
    case FramePath::kCommandFrames:
      return "frame read by command failed";
    case FramePath::kHeaders:
      break;
  }
  if (!attempt.headerRead) return "no frame header";
  return attempt.suspect ? "header does not fit the programmed window or the counter went back"
                         : "payload read failed";
}

// ---------------------------------------------------------------- transfer thread

void CVexCamU3K9Base::RunTransferThread() {
  TransferLoop();
  running_.store(false);
  threadDone_.store(true);
  threadEnd_.Set();
}

void CVexCamU3K9Base::StoreFrame(uint32_t tag) {
  if (ring_.Store(staging_.get(), tag)) {
    TransferCounters::Add(counters_.framesReceived);
    TransferCounters::Add(counters_.bytesReceived, frameSize_);
  }
  frameEvent_.Set();
}

void CVexCamU3K9Base::EndLoop() {
  transport_->CloseStream();
  if (transferError_.load()) frameEvent_.Set();
}

void CVexCamU3K9Base::GiveUp() {
  TransferCounters::Add(counters_.giveUps);
  transferError_.store(true);
  frameEvent_.Set();
}

std::string CVexCamU3K9Base::DeviceLabel() const {
  char label[320];
  DeviceRecord record;
  if (transport_ && transport_->GetDeviceRecord(transport_->SelectedIndex(), &record)) {
    std::snprintf(label, sizeof(label), "camera %04x:%04x at %s", record.vendorId, record.productId,
                  record.path);
  } else {
    std::snprintf(label, sizeof(label), "camera of product id 0x%04X", productId_.load());
  }
  return label;
}

void CVexCamU3K9Base::ResetFramePipe() {
  TransferCounters::Add(counters_.pipeResets);
  VEXCAM_DEBUG(kDebugStream, "%s: resetting the frame pipe before the retry",
               DeviceLabel().c_str());
  transport_->ResetPipe(kEpFrameIn);
}

bool CVexCamU3K9Base::BeginLoop() {
  if (!transport_ || !staging_ || !ring_.HasBuffers()) {
    GiveUp();
    return false;
  }
  descriptor_ = FrameDescriptor{};
  descriptor_.destination = staging_.get();
  descriptor_.capacity = stagingCapacity_;
  descriptor_.expectedSize = frameSize_;
  return true;
}

bool CVexCamU3K9Base::BeginStreamLoop() {
  if (!BeginLoop()) return false;
  transferError_.store(false);
  lastTag_ = 0;
  if (!transport_->OpenStream()) {
    GiveUp();
    EndLoop();
    return false;
  }
  return true;
}

void CVexCamU3K9Base::ApplyPendingExposure() {
  if (pendingExposureSet_.exchange(false)) {
    std::lock_guard<std::mutex> lock(driverMutex_);
    if (sensor_) sensor_->SetExposureTime(pendingExposure_.load());
  }
}

bool CVexCamU3K9Base::HeaderFitsProgramming(const FrameDescriptor& frame) {
  const bool whole = LoadLe32(frame.header + kHeaderPayloadOffset) == frameSize_;
  const bool restarted = frame.tag < lastTag_;
  lastTag_ = frame.tag;
  return whole && !restarted;
}

bool CVexCamU3K9Base::RestoreCameraState() {
  SensorInfo info;
  {
    std::lock_guard<std::mutex> lock(driverMutex_);
    sensor_->GetSensorInfo(&info);
    if (!sensor_->SetCaptureArea(info.areaX, info.areaWidth, info.areaY, info.areaHeight,
                                 info.areaFlag))
      return false;
    if (info.exposureTime.current != 0) sensor_->SetExposureTime(info.exposureTime.current);
    const int32_t peltier = peltierRequest_.load();
    if (peltier >= 0 && !sensor_->SetPeltier(static_cast<uint32_t>(peltier))) return false;
  }
  if (HasFpgaRegisters() && ApplyWindowRegisters(info) == 0) return false;
  // The data width of the general path; products with a register of their
  // own keep it across a reset of the stream.
  if (!HasGeneralDataWidth(Row())) return true;
  return WriteGeneralDataWidth(dataBitsMode_.load() == 1);
}

bool CVexCamU3K9Base::PublishFrame(uint32_t mode) {
  transferError_.store(false);
  // Counted before the frame is published, so a waiter woken by it sees the count.
  if (mode == kCaptureNextFrame) nextFrameCount_.fetch_add(1);
  StoreFrame(frameCounter_.load());
  return mode == kCaptureSingle || mode == kCaptureNextFrame;
}

uint32_t CVexCamU3K9Base::TransferLoop() {
  const ProductRow& row = Row();
  const FramePath path = row.framePath;
  uint32_t lastSuccess = TimeGetTime();
  if (!BeginFrameLoop(path)) return 0;
  const uint32_t mode = captureMode_.load();
  const uint32_t limit = RetryLimit(path);
  // Command reads know no header-only mode.
  const bool nothingToRead = path == FramePath::kCommandFrames && mode == kCaptureHeaderOnly;
  uint32_t failures = 0;
  while (running_.load() && !nothingToRead) {
    const FrameAttempt attempt = ReadOneFrame(path, mode);
    if (attempt.result == FrameAttempt::kNoNewFrame) {
      SleepMs(1);
      continue;
    }
    if (attempt.result == FrameAttempt::kHeaderOnlyDone) break;
    if (attempt.result == FrameAttempt::kFrame) {
      failures = 0;
      lastSuccess = TimeGetTime();
      if (TakeFrame(path, mode)) break;
      continue;
    }
    // The whole-frame path keeps its stream open across retries.
    if (path != FramePath::kAltEndpoint) transport_->CloseStream();
    if (!running_.load()) break;
    if (path != FramePath::kHeaders || attempt.headerRead) {
      TransferCounters::Add(counters_.incomplete);
    }
    if (path == FramePath::kCommandFrames) ResetTransfer();
    const bool final = path == FramePath::kAltEndpoint
                           ? ElapsedMs(lastSuccess, TimeGetTime()) >= kAltGiveUpMs
                           : GivesUpAtOnce(row, mode);
    const char* cause = FailureCause(path, attempt);
    if (final || ++failures >= limit) {
      VEXCAM_DEBUG(kDebugStream, "%s: %s; giving up after %u failed frames", DeviceLabel().c_str(),
                   cause, failures);
      GiveUp();
      break;
    }
    VEXCAM_DEBUG(kDebugStream, "%s: %s; retry %u of %u", DeviceLabel().c_str(), cause, failures,
                 limit - 1);
    TransferCounters::Add(counters_.retries);
    PrepareRetry(row, attempt, &failures);
  }
  EndLoop();
  return 1;
}

bool CVexCamU3K9Base::BeginFrameLoop(FramePath path) {
  if (path != FramePath::kAltEndpoint) return BeginStreamLoop();
  if (!BeginLoop()) return false;
  transport_->SendStreamRestart();
  transferError_.store(false);
  transport_->OpenStream();
  return true;
}

CVexCamU3K9Base::FrameAttempt CVexCamU3K9Base::ReadOneFrame(FramePath path, uint32_t mode) {
  FrameAttempt attempt;
  switch (path) {
    case FramePath::kAltEndpoint:
      if (transport_->ReadFrameAlt(descriptor_)) attempt.result = FrameAttempt::kFrame;
      return attempt;
    case FramePath::kCommandFrames: {
      const uint32_t timeout = mode == kCaptureNextFrame ? kInfinite : frameTimeoutMs_.load();
      ApplyPendingExposure();
      uint32_t length = frameSize_;
      if (transport_->ReadFrameByCommand(descriptor_, &length, timeout)) {
        attempt.result = FrameAttempt::kFrame;
      }
      return attempt;
    }
    case FramePath::kHeaders:
      break;
  }
  const uint32_t timeout = frameTimeoutMs_.load();
  ApplyPendingExposure();
  if (mode == kCaptureNextFrame) {
    uint8_t counter = 0;
    if (!ReadReg(kFpgaFrameCounter, &counter)) return attempt;
    if (counter == frameCounter_.load()) {
      attempt.result = FrameAttempt::kNoNewFrame;
      return attempt;
    }
    frameCounter_.store(counter);
  }
  if (!transport_->ReadFrameHeader(descriptor_)) return attempt;
  attempt.headerRead = true;
  if (mode == kCaptureHeaderOnly) {
    frameCounter_.store(descriptor_.tag);
    attempt.result = FrameAttempt::kHeaderOnlyDone;
    return attempt;
  }
  if (mode != kCaptureNextFrame) frameCounter_.store(descriptor_.tag);
  // A frame of another size, or from a camera that restarted, is a failed
  // frame: its rows would not be those of the programmed window.
  attempt.suspect = !HeaderFitsProgramming(descriptor_);
  if (!attempt.suspect && transport_->ReadFramePayload(descriptor_, timeout)) {
    attempt.result = FrameAttempt::kFrame;
  }
  return attempt;
}

bool CVexCamU3K9Base::TakeFrame(FramePath path, uint32_t mode) {
  if (path != FramePath::kAltEndpoint) return PublishFrame(mode);
  // Whole frames count no next-frame waits: only a single capture ends the loop.
  transferError_.store(false);
  StoreFrame(frameCounter_.load());
  return mode == kCaptureSingle;
}

void CVexCamU3K9Base::PrepareRetry(const ProductRow& row, const FrameAttempt& attempt,
                                   uint32_t* failures) {
  switch (row.framePath) {
    case FramePath::kHeaders:
      if (row.pipeReset == PipeResetRule::kOnRetry) ResetFramePipe();
      // A camera found in its power-on state gets its settings back before a
      // frame is accepted again; if it does not take them, the retries run out.
      if (attempt.suspect) {
        transport_->SendStreamRestart();  // drops the unread payload
        if (!RestoreCameraState()) ++*failures;
      }
      UpdateStrobe();
      transport_->OpenStream();
      break;
    case FramePath::kCommandFrames:
      if (row.pipeReset != PipeResetRule::kNever) ResetFramePipe();
      UpdateStrobe();
      transport_->SendStreamRestart();
      transport_->OpenStream();
      break;
    case FramePath::kAltEndpoint:
      transport_->ResetDevicePort();
      transport_->SendStreamRestart();
      ResetFramePipe();
      break;
  }
}

// ---------------------------------------------------------------- frame delivery

uint32_t CVexCamU3K9Base::WaitFrame(uint32_t timeoutMs) {
  if (transferError_.load()) return kWaitTransferError;
  if (frameEvent_.Wait(timeoutMs) != WaitResult::kSignalled) return kWaitTimeout;
  if (transferError_.load()) return kWaitTransferError;
  return ring_.HasUnread() ? kWaitNewFrame : kWaitTimeout;
}

uint32_t CVexCamU3K9Base::CopyFrame(uint8_t* destination, uint64_t size, uint32_t* tag,
                                    uint32_t grabbed, uint32_t flip) {
  return ring_.Copy(destination, size, tag, grabbed != 0, flip, nullptr) ? 1 : 0;
}

uint32_t CVexCamU3K9Base::GetFrame(uint8_t* destination, uint64_t capacity, uint32_t /*reserved1*/,
                                   uint32_t /*reserved2*/, uint32_t flip) {
  return GetFrameEx(destination, nullptr, capacity, 0, 0, flip);
}

uint32_t CVexCamU3K9Base::GetFrameEx(uint8_t* destination, uint32_t* tag, uint64_t capacity,
                                     uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                                     uint32_t flip) {
  uint64_t sequence = 0;
  const uint64_t lastRead = ring_.ReadUpTo();
  const bool ok = ring_.Copy(destination, capacity, tag, false, flip, &sequence);
  // The reader takes the newest frame: the unread ones before it are lost.
  if (ok && sequence > lastRead + 1)
    TransferCounters::Add(counters_.overwritten, sequence - lastRead - 1);
  // Marks read exactly the frames up to the one delivered, so a frame stored
  // during the copy is still reported by the next WaitFrame.
  const uint32_t write = ring_.WriteIndex();
  if (ok) {
    ring_.MarkReadUpTo(sequence);
  } else {
    ring_.MarkAllRead();
  }
  ring_.SetReadIndex(write);
  return ok ? kFrameCopied : kFrameNotCopied;
}

uint32_t CVexCamU3K9Base::GetGrabbedFrame(uint8_t* destination, uint64_t capacity,
                                          uint32_t /*reserved1*/, uint32_t /*reserved2*/,
                                          uint32_t flip) {
  if (destination == nullptr) return kGrabNoDestination;
  return ring_.Copy(destination, capacity, nullptr, true, flip, nullptr) ? kFrameCopied
                                                                         : kFrameNotCopied;
}

uint32_t CVexCamU3K9Base::GrabOneFrame() {
  std::lock_guard<std::mutex> lock(controlMutex_);
  return GrabOneFrameLocked();
}

uint32_t CVexCamU3K9Base::GrabOneFrameLocked() {
  if (!transport_) return kGrabNotReady;
  // The staging buffer belongs to the transfer thread while it runs.
  if (running_.load()) return kGrabNotReady;
  JoinFinishedThread();
  if (settingsChanged_.load()) ApplyCaptureSettingsLocked();
  if (!staging_ || !ring_.HasBuffers()) return kGrabNotReady;
  descriptor_ = FrameDescriptor{};
  descriptor_.destination = staging_.get();
  descriptor_.capacity = stagingCapacity_;
  descriptor_.expectedSize = frameSize_;
  const bool alt = Row().framePath == FramePath::kAltEndpoint;
  if (alt) transport_->SendStreamRestart();
  transferError_.store(false);
  const uint32_t start = TimeGetTime();
  if (!transport_->OpenStream()) {
    transport_->CloseStream();
    threadEnd_.Set();
    return 0;
  }
  uint32_t failures = 0;
  for (;;) {
    const bool ok = alt ? transport_->ReadFrameAlt(descriptor_) != 0
                        : transport_->ReadFrameHeader(descriptor_) &&
                              transport_->ReadFramePayload(descriptor_, kGrabPayloadTimeoutMs);
    if (ok) break;
    if (ElapsedMs(start, TimeGetTime()) >= kAltGiveUpMs || ++failures >= kAltRetries) {
      transferError_.store(true);
      transport_->CloseStream();
      threadEnd_.Set();
      return 0;
    }
    if (alt) transport_->ResetDevicePort();
  }
  ring_.StoreAt(0, staging_.get(), descriptor_.tag);
  transferError_.store(false);
  transport_->CloseStream();
  threadEnd_.Set();
  return 0;
}

bool CVexCamU3K9Base::PendingExposure(uint32_t* value) const {
  if (value != nullptr) *value = pendingExposure_.load();
  return pendingExposureSet_.load();
}

}  // namespace vexcam
