#include <algorithm>
#include <cstring>

#include "imaging/restride.h"
#include "instance/auto_iris_adapter.h"
#include "instance/capture_engine.h"
#include "instance/preview_window.h"
#include "instance/vex_cam.h"
#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/message_window.h"

namespace vexcam {

namespace {

constexpr uint32_t kPreviewWaitMs = 3000;   // WaitFrame of the continuous loop
constexpr uint32_t kTriggerWaitMs = 60000;  // WaitFrame of the trigger loop
constexpr uint32_t kWaitSliceMs = 100;      // how long a stop may go unseen
constexpr uint32_t kPauseSleepMs = 10;
constexpr uint32_t kRateWindowMs = 1000;

constexpr uint32_t kModeBits[ImagePipeline::kColorModeCount] = {8, 16, 24, 32, 48, 64};

}  // namespace

// ---------------------------------------------------------------- worker

void CaptureEngine::WorkerMain(const std::shared_ptr<WorkerContext>& ctx) {
  if (ctx->state == kStateTrigger) {
    TriggerLoop(*ctx);
  } else {
    ContinuousLoop(*ctx);
  }
}

uint32_t CaptureEngine::WaitFrameWhileRunning(WorkerContext& ctx, uint32_t timeoutMs) {
  CVexCamU3K9Base& cam = *owner_.Camera();
  const uint32_t start = TimeGetTime();
  for (;;) {
    const uint32_t elapsed = ElapsedMs(start, TimeGetTime());
    const uint32_t slice = elapsed >= timeoutMs ? 0 : std::min(kWaitSliceMs, timeoutMs - elapsed);
    const uint32_t r = cam.WaitFrame(slice);
    if (r != kWaitTimeout || slice == 0 || ctx.run.load() == 0) return r;
  }
}

void CaptureEngine::ContinuousLoop(WorkerContext& ctx) {
  while (ctx.run.load() != 0) {
    ctx.wake.Wait(owner_.waitTimeMs.load());
    const uint32_t run = ctx.run.load();
    if (run == 0) break;
    if (run == 2) continue;
    const uint32_t r = WaitFrameWhileRunning(ctx, kPreviewWaitMs);
    if (ctx.run.load() == 0) break;  // a stop ends the wait; not a transfer fault
    if (r == kWaitTransferError) {
      ctx.run.store(0);
      owner_.Record(VEXCAM_ERR_TRANSFER_BROKEN);
      PostToTarget(ctx, nullptr, VEXCAM_ERR_TRANSFER_BROKEN);
      break;
    }
    if (r != kWaitNewFrame) continue;
    const VEXCAM_FRAME_INFO* info = DeliverFrame(ctx, true);
    if (info != nullptr && ctx.run.load() == 1) PostToTarget(ctx, info, 0);
  }
}

void CaptureEngine::TriggerLoop(WorkerContext& ctx) {
  CVexCamU3K9Base& cam = *owner_.Camera();
  // Let the exposure that may be under way end before the first frame.
  ctx.wake.Wait(cam.GetExposureTime() / 10 + 100);
  cam.ReadFpgaStatus();
  while (ctx.run.load() != 0) {
    if (ctx.run.load() == 2) {
      ctx.wake.Wait(kPauseSleepMs);
      continue;
    }
    if (!cam.StartCapture(kCaptureNextFrame)) break;
    const uint32_t r = WaitFrameWhileRunning(ctx, kTriggerWaitMs);
    if (ctx.run.load() == 0) break;
    // A lost camera fails every wait at once: re-arm at a calm pace.
    if (r == kWaitTransferError) ctx.wake.Wait(kWaitSliceMs);
    if (r != kWaitNewFrame) continue;
    const VEXCAM_FRAME_INFO* info = DeliverFrame(ctx, false);
    if (info != nullptr) PostToTarget(ctx, info, 0);
  }
}

// ---------------------------------------------------------------- one frame

bool CaptureEngine::FetchRaw() {
  DibImage& raw = owner_.images.RawFor(session_.colorMode);
  if (raw.IsEmpty()) return false;
  if (owner_.images.HasPlanes()) {
    // The whole colour frame; ProcessFrame makes the raw image from it.
    if (owner_.Camera()->GetFrame(owner_.images.PlaneFrame(), owner_.images.PlaneFrameBytes(), 0,
                                  0, 1) != kFrameCopied)
      return false;
    rawFrameBits_ = raw.BitCount();
    return true;
  }
  // A camera that ignored the sub-sample code sends the whole window into
  // the full-size image, reduced here.
  DibImage& target = subSampler_.Active() ? subSampler_.Full() : raw;
  const int bytes = target.BytesPerPixel();
  // The frame must fit the image's pixels laid tightly: a larger frame is
  // refused.
  const uint64_t tight = static_cast<uint64_t>(target.Width()) *
                         static_cast<uint64_t>(target.Height()) * static_cast<uint64_t>(bytes);
  if (owner_.Camera()->GetFrame(target.Pixels(), tight, 0, 0, 1) != kFrameCopied) return false;
  if (target.Stride() != static_cast<uint32_t>(target.Width() * bytes) &&
      (bytes == 1 || bytes == 2)) {
    RestrideRows(target, bytes);
  }
  if (subSampler_.Active()) subSampler_.Reduce(raw);
  rawFrameBits_ = raw.BitCount();
  return true;
}

void CaptureEngine::RunPipeline(FrameReport* report) {
  ImageSettings settings;
  {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    settings = owner_.ImageBlock();
  }
  // The images were sized for the prepared mode and window; a change made
  // since then takes effect at the next preparation.
  const CaptureGeometry& g = session_.geometry;
  CaptureGeometry geometry = g;
  geometry.mirrorH = settings.mirrorH != 0;
  geometry.mirrorV = settings.mirrorV != 0;
  settings.colorMode = session_.colorMode;
  settings.windowX = g.x0;
  settings.windowY = g.y0;
  settings.windowWidth = g.width;
  settings.windowHeight = g.height;

  // No camera here: the auto-iris request is applied by ApplyFrameReport once
  // the frame lock is released.
  FrameReport& r = *report;
  owner_.images.ProcessFrame(settings, owner_.defects, owner_.imageLock, nullptr, geometry, &r);

  if (r.whiteBalanceMeasured || r.grayGainMeasured) {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    ImageSettings& s = owner_.ImageBlock();
    // A measurement whose request was withdrawn while the frame was being
    // processed (a dialog's Cancel putting the old values back, say) is
    // dropped rather than written over what is in force now.
    if (r.whiteBalanceMeasured && s.bayerGainAuto != 0) {
      s.bayerGainRed = settings.bayerGainRed;
      s.bayerGainGreen = settings.bayerGainGreen;
      s.bayerGainBlue = settings.bayerGainBlue;
      s.bayerGainAuto = settings.bayerGainAuto;
      s.bayerGainAutoOnce1 = settings.bayerGainAutoOnce1;
      s.bayerGainAutoOnce2 = settings.bayerGainAutoOnce2;
    }
    if (r.grayGainMeasured && s.grayAutoRequest != 0) {
      std::copy(std::begin(settings.grayGain), std::end(settings.grayGain), std::begin(s.grayGain));
      s.grayAutoRequest = settings.grayAutoRequest;
    }
  }
}

void CaptureEngine::ApplyFrameReport(const FrameReport& report) {
  AutoIrisResult iris;
  bool irisChanged = false;
  if (report.autoIrisRequest.mode != 0) {
    AutoIrisAdapter adapter(owner_.Camera());
    irisChanged = ApplyAutoIris(report.autoIrisRequest, adapter, &iris) != 0;
  }
  if (irisChanged) {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    // Auto iris switched off while the frame was processed: the camera
    // changed, the stored values stay.
    if (owner_.AnalogBlock().autoIris != 0) {
      AnalogSettings& a = owner_.AnalogBlock();
      if (iris.exposureSet) {
        a.exposureTime = static_cast<int32_t>(iris.exposure);
        a.realExposureTime = a.exposureTime * 100;
      }
      if (iris.exposureExRead) a.exposureTimeEx = iris.exposureEx;
      if (iris.gainSet) a.globalGain = iris.gain;
    }
  }
  owner_.dialogViews.Changed(irisChanged, report.whiteBalanceMeasured || report.grayGainMeasured);
}

const VEXCAM_FRAME_INFO* CaptureEngine::DeliverFrame(WorkerContext& ctx, bool continuous) {
  FrameReport report;
  const VEXCAM_FRAME_INFO* info = DeliverFrameLocked(ctx, continuous, &report);
  ApplyFrameReport(report);
  return info;
}

const VEXCAM_FRAME_INFO* CaptureEngine::DeliverFrameLocked(WorkerContext& ctx, bool continuous,
                                                           FrameReport* report) {
  CsLock lock(owner_.frameLock);
  CallbackTarget target;
  {
    std::lock_guard<std::mutex> targetLock(ctx.targetLock);
    target = ctx.target;
  }
  if (!FetchRaw()) {
    owner_.Record(VEXCAM_ERR_NO_FRAME);
    // The error form of the frame message belongs to continuous preview; in
    // trigger mode the code alone tells the application a frame was lost.
    if (continuous) PostFrame(target.window, nullptr, VEXCAM_ERR_NO_FRAME);
    return nullptr;
  }
  const DibImage& raw = owner_.images.RawFor(session_.colorMode);
  if (continuous) {
    ++frameCounter_;
    const uint32_t now = TimeGetTime();
    const uint32_t elapsed = ElapsedMs(counterStart_, now);
    if (elapsed > kRateWindowMs) {
      frameRate_ = static_cast<uint32_t>(static_cast<uint64_t>(frameCounter_) * 10000u / elapsed);
      frameCounter_ = 0;
      counterStart_ = now;
    }
  }
  VEXCAM_FRAME_INFO& info = frameInfo_[frameInfoNext_];
  frameInfoNext_ = (frameInfoNext_ + 1) % kFrameInfoSlots;
  info = VEXCAM_FRAME_INFO{};
  info.width = static_cast<DWORD>(raw.Width());
  info.height = static_cast<DWORD>(raw.Height());
  info.bitsPerPixel = kModeBits[session_.colorMode];
  info.frameRate = continuous ? frameRate_ : 0;
  info.buffer = target.buffer;

  RunPipeline(report);
  if (continuous && recorder_.FrameReady()) stats_.RecorderSkipped();
  if (preview_) preview_->Draw(owner_.images, session_.colorMode);
  imageAvailable_.store(true);
  if (target.buffer != nullptr && target.size != 0 &&
      !CopyToApplication(owner_.images.ImageFor(session_.colorMode), target)) {
    return nullptr;
  }
  stats_.FrameDelivered();
  return &info;
}

// ---------------------------------------------------------------- application buffer and messages

BOOL CaptureEngine::GetImage(BYTE* buffer, int size, int topDown) {
  if (!owner_.RequireCamera()) return 0;
  int mode = 0;
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    mode = owner_.ImageBlock().colorMode;
  }
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    window = target_.window;
  }
  CsLock lock(owner_.frameLock);
  if (!IsValidMode(mode)) {
    owner_.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  const DibImage& image = owner_.images.ImageFor(mode);
  if (image.IsEmpty() || buffer == nullptr) {
    owner_.Record(VEXCAM_ERR_MEMORY);
    return 0;
  }
  const CallbackTarget copy{window, buffer, static_cast<uint32_t>(std::max(size, 0)),
                            static_cast<uint32_t>(topDown)};
  if (!CopyToApplication(image, copy)) {
    owner_.Record(VEXCAM_ERR_MEMORY);
    return 0;
  }
  return 1;
}

BOOL CaptureEngine::GetStreamStats(VEXCAM_STREAM_STATS* out) {
  if (out == nullptr) {
    owner_.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  CVexCamU3K9Base* cam = owner_.Camera();
  if (!stats_.Fill(state_.load(), cam != nullptr ? &cam->Counters() : nullptr, out)) {
    owner_.Record(VEXCAM_ERR_MEMORY);
    return 0;
  }
  return 1;
}

bool CaptureEngine::CopyToApplication(const DibImage& image, const CallbackTarget& target) {
  const size_t needed = image.SizeBytes();
  if (image.IsEmpty() || needed > target.size) {
    owner_.Record(VEXCAM_ERR_MEMORY);
    PostFrame(target.window, nullptr, VEXCAM_ERR_MEMORY);
    return false;
  }
  const size_t stride = image.Stride();
  const int height = image.Height();
  if (target.topDown != 0) {
    std::memcpy(target.buffer, image.Pixels(), needed);
  } else {
    // Bottom-up bitmap order: the image's last row first.
    for (int row = 0; row < height; ++row) {
      std::memcpy(target.buffer + static_cast<size_t>(row) * stride, image.Row(height - 1 - row),
                  stride);
    }
  }
  return true;
}

void CaptureEngine::PostToTarget(WorkerContext& ctx, const VEXCAM_FRAME_INFO* info, LPARAM code) {
  std::lock_guard<std::mutex> lock(ctx.targetLock);
  PostFrame(ctx.target.window, info, code);
}

// The error forms (wParam 0) are posted after the code is on the stack, like
// the error message, so a handler of either finds it there.
void CaptureEngine::PostFrame(HWND window, const VEXCAM_FRAME_INFO* info, LPARAM code) {
  if (window == nullptr) return;
  PostWindowMessage(window, VEXCAM_MSG_FRAME, reinterpret_cast<uintptr_t>(info), code);
}

}  // namespace vexcam
