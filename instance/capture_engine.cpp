#include "instance/capture_engine.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "imaging/restride.h"
#include "instance/auto_iris_adapter.h"
#include "instance/preview_window.h"
#include "instance/vex_cam.h"
#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/message_window.h"

namespace vexcam {

namespace {

constexpr uint32_t kPreviewWaitMs = 3000;     // WaitFrame of the continuous loop
constexpr uint32_t kTriggerWaitMs = 60000;    // WaitFrame of the trigger loop
constexpr uint32_t kTriggerTimeoutMs = 6000;  // frame time-out once trigger mode ran
constexpr uint32_t kWaitSliceMs = 100;        // how long a stop may go unseen
constexpr uint32_t kPauseSleepMs = 10;
constexpr uint32_t kRateWindowMs = 1000;

// Only the windows the camera's driver accepts (for ZA01 the ones its FPGA
// programs exist for).
bool IsAllowedWindow(const SensorConstants& row, const CaptureWindow& w) {
  return AcceptsWindow(row, w.x, w.y, w.width, w.height);
}

// Divisor of the output size for a sub-sample code: 1/17 halve, 2/18 quarter,
// 3/19 eighth; every other code keeps the size.
int32_t SubSampleDivisor(int32_t code) {
  switch (code) {
    case 1:
    case 17:
      return 2;
    case 2:
    case 18:
      return 4;
    case 3:
    case 19:
      return 8;
    default:
      return 1;
  }
}

constexpr uint32_t kModeBits[ImagePipeline::kColorModeCount] = {8, 16, 24, 32, 48, 64};

bool IsValidMode(int mode) { return mode >= 0 && mode < ImagePipeline::kColorModeCount; }
bool Is16BitTransfer(int mode) { return mode == 1 || mode == 4 || mode == 5; }

}  // namespace

struct CaptureEngine::WorkerContext {
  explicit WorkerContext(uint32_t s, const CallbackTarget& t) : state(s), target(t) {}
  std::atomic<uint32_t> run{1};  // 0 end, 1 run, 2 pause
  Event wake{true};              // set by a stop: cuts sleeps short
  const uint32_t state;          // kStatePreview or kStateTrigger
  // Where frames go. VexCam_Record clears it under the frame lock and
  // targetLock; the worker reads it under the frame lock for the copy and
  // under targetLock (a leaf) for each post, so once the clear returns the
  // old buffer and window are never used again.
  std::mutex targetLock;
  CallbackTarget target;
};

CaptureEngine::CaptureEngine(CVexCam& owner)
    : owner_(owner), counterStart_(TimeGetTime()), recorder_(owner) {}

CaptureEngine::~CaptureEngine() {
  // No camera calls here: the instance stops capture in its teardown while
  // the camera still exists. Only a worker that outlived that is ended.
  std::thread thread, retired;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    if (worker_) {
      worker_->run.store(0);
      worker_->wake.Set();
    }
    thread = std::move(workerThread_);
    retired = std::move(retired_);
  }
  if (thread.joinable()) thread.join();
  if (retired.joinable()) retired.join();
}

template <class Op>
BOOL CaptureEngine::Locked(Op&& op) {
  BOOL result = 0;
  std::thread retired;
  std::unique_ptr<CPreviewWindow> retiredPreview;
  {
    std::lock_guard<std::mutex> lock(controlMutex_);
    result = op();
    retired = std::move(retired_);
    retiredPreview = std::move(retiredPreview_);
  }
  if (retired.joinable()) retired.join();
  retiredPreview.reset();
  return result;
}

uint32_t CaptureEngine::State() const { return state_.load(); }

// ---------------------------------------------------------------- stop

void CaptureEngine::StopLocked(bool stopCamera) {
  if (worker_) {
    worker_->run.store(0);
    worker_->wake.Set();
    worker_.reset();
  }
  if (state_.exchange(kStateIdle) != kStateIdle) stopCamera = true;
  if (stopCamera) stats_.Stop();
  if (stopCamera && owner_.Camera()) owner_.Camera()->StopCapture();
  if (workerThread_.joinable()) {
    // Locked() empties retired_ before it unlocks, so it is free here.
    if (retired_.joinable()) retired_.join();
    retired_ = std::move(workerThread_);
  }
}

void CaptureEngine::CloseLocked() {
  ClosePreviewWindowLocked();
  StopLocked(true);
  imageAvailable_.store(false);
}

uint32_t CaptureEngine::SuspendForDialog() {
  uint32_t state = kStateIdle;
  Locked([&] {
    state = state_.load();
    if (state == kStatePreview || state == kStateCapture) {
      StopLocked(false);
    } else if (state == kStateTrigger && worker_) {
      worker_->run.store(2);
    }
    return 1;
  });
  if (state == kStatePreview) recorder_.Stop();
  return state;
}

void CaptureEngine::ResumeAfterDialog(uint32_t state) {
  Locked([&]() -> BOOL {
    switch (state) {
      case kStatePreview:
        return StartPreviewLocked();
      case kStateCapture:
        if (state_.load() != kStateIdle) return 0;
        if (!Prepare()) return 0;
        state_.store(kStateCapture);
        return 1;
      case kStateTrigger:
        if (state_.load() == kStateTrigger && worker_) worker_->run.store(1);
        return 1;
      default:
        return 1;
    }
  });
}

BOOL CaptureEngine::StopPreview() {
  if (!owner_.RequireCamera()) return 0;
  Locked([&] {
    StopLocked(false);
    return 1;
  });
  recorder_.Stop();
  return 1;
}

void CaptureEngine::Stop() {
  Locked([&] {
    StopLocked(false);
    imageAvailable_.store(false);
    return 1;
  });
  recorder_.Stop();
}

// ---------------------------------------------------------------- preparation

bool CaptureEngine::NeedsPreviewWindow() const {
  return previewParent_ != nullptr ||
         std::any_of(previewRect_.begin(), previewRect_.end(), [](int32_t v) { return v != 0; });
}

bool CaptureEngine::AcceptsCall(int size) {
  if (!owner_.RequireCamera()) return false;
  if (size < 0) {
    owner_.Record(VEXCAM_ERR_INVALID_ARG);
    return false;
  }
  return true;
}

bool CaptureEngine::SetTarget(HWND window, BYTE* buffer, int size, int topDown) {
  target_ =
      CallbackTarget{window, buffer, static_cast<uint32_t>(size), static_cast<uint32_t>(topDown)};
  return OpenPreviewWindowLocked();
}

void CaptureEngine::ClosePreviewWindowLocked() {
  CsLock lock(owner_.frameLock);
  // retiredPreview_ is emptied by every Locked() before it unlocks.
  if (preview_) retiredPreview_ = std::move(preview_);
}

bool CaptureEngine::OpenPreviewWindowLocked() {
  ClosePreviewWindowLocked();
  if (!NeedsPreviewWindow()) return true;
  CPreviewWindow::Placement p;
  p.parent = previewParent_;
  p.rect = previewRect_;
  p.instance = &owner_;
  {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    p.captureWidth = owner_.Window().width;
    p.captureHeight = owner_.Window().height;
    p.subSampleDivisor = SubSampleDivisor(owner_.ImageBlock().subSample);
  }
  std::unique_ptr<CPreviewWindow> window = CPreviewWindow::Create(p);
  if (!window) {
    owner_.Record(VEXCAM_ERR_NO_WINDOW);
    return false;
  }
  CsLock lock(owner_.frameLock);
  preview_ = std::move(window);
  return true;
}

void CaptureEngine::ClosePreviewWindow() {
  Locked([&] {
    ClosePreviewWindowLocked();
    return 1;
  });
}

HWND CaptureEngine::PreviewWindowHandle() {
  CsLock lock(owner_.frameLock);
  return preview_ ? preview_->Handle() : nullptr;
}

bool CaptureEngine::Prepare() {
  CVexCamU3K9Base& cam = *owner_.Camera();
  // The selected camera must be there and open.
  if (!cam.IsDeviceAvailable(cam.GetDeviceNumber()) || cam.Sensor() == nullptr) {
    owner_.Record(VEXCAM_ERR_NOT_OPENED);
    return false;
  }
  CaptureWindow window;
  ImageSettings settings;
  AnalogSettings analog;
  {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    window = owner_.Window();
    settings = owner_.ImageBlock();
    analog = owner_.AnalogBlock();
  }
  // Only the windows the sensor has programs for.
  if (!IsAllowedWindow(cam.SensorRow(), window)) {
    owner_.Record(VEXCAM_ERR_WINDOW_REJECTED);
    return false;
  }
  // Output size and images. The worker of a previous start may still be
  // finishing a frame, hence the frame lock.
  const int mode = settings.colorMode;
  const int32_t divisor = SubSampleDivisor(settings.subSample);
  const int outWidth = window.width / divisor;
  const int outHeight = window.height / divisor;
  {
    CsLock lock(owner_.frameLock);
    bool sized = IsValidMode(mode) && owner_.images.Configure(outWidth, outHeight, mode);
    if (sized && mode != VEXCAM_COLOR_MONO16) {
      // Modes other than Mono 16 pass through Color 24 (luma, demosaic).
      DibImage& c24 = owner_.images.Color(24);
      if (c24.IsEmpty() || c24.Width() != outWidth || c24.Height() != outHeight) {
        sized = c24.Create(outWidth, outHeight, 24);
      }
    }
    if (sized) sized = owner_.images.SharpenCopy().CloneFrom(owner_.images.ImageFor(mode));
    rawFrameBits_ = 0;  // the images may have been made anew
    if (!sized) {
      owner_.Record(VEXCAM_ERR_MEMORY);
      return false;
    }
    session_.colorMode = mode;
    CaptureGeometry& g = session_.geometry;
    g.x0 = window.x;
    g.y0 = window.y;
    g.width = window.width;
    g.height = window.height;
    g.subSample = divisor;
    g.hwMirrorH = cam.IsMirrorHSupported() != 0;
    g.hwMirrorV = cam.IsMirrorVSupported() != 0;
    g.canChangeWidth = cam.CanChangeWidth() != 0;
    g.canChangeHeight = cam.CanChangeHeight() != 0;
  }
  // Transfer width and the window on the camera.
  cam.SetDataBits(Is16BitTransfer(mode) ? 1 : 0);
  if (!cam.SetCaptureArea(static_cast<uint32_t>(window.x), static_cast<uint32_t>(window.y),
                          static_cast<uint32_t>(window.width), static_cast<uint32_t>(window.height),
                          static_cast<uint32_t>(settings.subSample))) {
    owner_.Record(VEXCAM_ERR_WINDOW_REJECTED);
    return false;
  }
  // A camera that sends the whole window whatever the sub-sample code (the
  // ZA01 ignores it) gets its frames reduced by the engine, so the images
  // keep the sub-sampled size.
  uint32_t areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0, areaFlag = 0;
  const bool wholeWindow =
      divisor > 1 && cam.GetCaptureArea(&areaX, &areaY, &areaWidth, &areaHeight, &areaFlag) != 0 &&
      areaWidth == static_cast<uint32_t>(window.width) &&
      areaHeight == static_cast<uint32_t>(window.height);
  {
    CsLock lock(owner_.frameLock);
    if (!wholeWindow) {
      subSampler_.Disable();
    } else if (!subSampler_.Prepare(window.width, window.height, Is16BitTransfer(mode) ? 16 : 8,
                                    divisor, mode >= VEXCAM_COLOR_24)) {
      owner_.Record(VEXCAM_ERR_MEMORY);
      return false;
    }
  }
  // The analog settings; their results do not decide the preparation.
  cam.SetMirrorV(analog.mirrorV != 0);
  cam.SetMirrorH(analog.mirrorH != 0);
  cam.SetTriggerMode(0, 1);
  cam.SetGlobalGain(static_cast<uint32_t>(analog.globalGain));
  cam.SetColorGainGreen1(static_cast<uint32_t>(analog.colorGainGreen1));
  cam.SetColorGainRed(static_cast<uint32_t>(analog.colorGainRed));
  cam.SetColorGainBlue(static_cast<uint32_t>(analog.colorGainBlue));
  cam.SetColorGainGreen2(static_cast<uint32_t>(analog.colorGainGreen2));
  if (cam.IsExposureTimeExSupported()) {
    cam.SetExposureTimeEx(analog.exposureTimeEx);
  } else {
    cam.SetExposureTime(static_cast<uint32_t>(analog.exposureTime));
  }
  {
    std::lock_guard<std::mutex> lock(owner_.SettingsLock());
    owner_.AnalogBlock().realExposureTime = owner_.AnalogBlock().exposureTime * 100;
  }
  if (cam.HasOperationMode()) cam.SetOperationMode(0);
  cam.SetCorrectionMode(0);
  if (cam.HasCorrectionMode())
    cam.SetCorrectionMode(static_cast<uint32_t>(analog.internalCorrection));
  if (cam.IsAnalogGainSupported()) cam.SetAnalogGain(static_cast<uint32_t>(analog.analogGain));
  cam.StartStream();
  cam.ResetCounters();
  stats_.Start();
  // The display image is sized by the first frame drawn into the window.
  return true;
}

// ---------------------------------------------------------------- modes

bool CaptureEngine::StartWorker(uint32_t state) {
  auto ctx = std::make_shared<WorkerContext>(state, target_);
  try {
    workerThread_ = std::thread([this, ctx] { WorkerMain(ctx); });
  } catch (const std::system_error&) {
    return false;
  }
  worker_ = std::move(ctx);
  return true;
}

BOOL CaptureEngine::StartPreviewLocked() {
  const uint32_t state = state_.load();
  if (state == kStatePreview) return 1;
  if (state != kStateIdle) {
    owner_.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  if (!Prepare()) return 0;
  if (!owner_.Camera()->StartCapture(kCaptureContinuous)) {
    StopLocked(true);
    owner_.Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  state_.store(kStatePreview);
  if (!StartWorker(kStatePreview)) {
    StopLocked(true);
    owner_.Record(VEXCAM_ERR_NO_THREAD);
    return 0;
  }
  return 1;
}

BOOL CaptureEngine::StartPreview() {
  if (!owner_.RequireCamera()) return 0;
  return Locked([&] { return StartPreviewLocked(); });
}

BOOL CaptureEngine::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

BOOL CaptureEngine::CallBackPreview(HWND callbackWindow, BYTE* buffer, int size, int topDown) {
  if (!AcceptsCall(size)) return 0;
  return Locked([&]() -> BOOL {
    // A running preview keeps its worker, window and buffer.
    if (state_.load() == kStatePreview) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    if (!SetTarget(callbackWindow, buffer, size, topDown)) return 0;
    if (!StartPreviewLocked()) {
      CloseLocked();
      owner_.Record(VEXCAM_ERR_NO_FRAME);
      return 0;
    }
    return 1;
  });
}

BOOL CaptureEngine::StartPreviewForRecord(int showWindow) {
  if (!owner_.RequireCamera()) return 0;
  return Locked([&]() -> BOOL {
    const uint32_t state = state_.load();
    if (state == kStateCapture || state == kStateTrigger) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    target_ = CallbackTarget{};
    if (worker_) {
      // A running preview keeps its worker but gives up the old callback
      // window and buffer, which the application may now free.
      CsLock frame(owner_.frameLock);
      std::lock_guard<std::mutex> lock(worker_->targetLock);
      worker_->target = CallbackTarget{};
    }
    // A running preview keeps the window it has.
    if (showWindow != 0 && state != kStatePreview && !OpenPreviewWindowLocked()) return 0;
    if (!StartPreviewLocked()) {
      // The recorder is not running yet: nothing of it to stop here.
      CloseLocked();
      owner_.Record(VEXCAM_ERR_FILE_OR_TEXT);
      return 0;
    }
    return 1;
  });
}

BOOL CaptureEngine::Capture() {
  if (!owner_.RequireCamera()) return 0;
  return Locked([&]() -> BOOL {
    const uint32_t state = state_.load();
    if (state == kStateCapture) return 1;
    if (state != kStateIdle) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    if (!Prepare()) return 0;
    state_.store(kStateCapture);
    return 1;
  });
}

BOOL CaptureEngine::Trigger(HWND callbackWindow, BYTE* buffer, int size, int topDown) {
  if (!AcceptsCall(size)) return 0;
  return Locked([&]() -> BOOL {
    // Also refused while the trigger loop runs: its worker stays the only one.
    if (state_.load() != kStateIdle) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    if (!SetTarget(callbackWindow, buffer, size, topDown)) return 0;
    if (!Prepare()) {
      CloseLocked();
      return 0;
    }
    state_.store(kStateTrigger);
    owner_.frameTimeoutMs.store(kTriggerTimeoutMs);
    owner_.Camera()->SetFrameTimeout(kTriggerTimeoutMs);
    owner_.Camera()->SetTriggerMode(1, 0);
    if (!StartWorker(kStateTrigger)) {
      CloseLocked();
      owner_.Record(VEXCAM_ERR_NO_THREAD);
      return 0;
    }
    return 1;
  });
}

BOOL CaptureEngine::SnapShot(BYTE* buffer, int size, int topDown) {
  if (!AcceptsCall(size)) return 0;
  return Locked([&]() -> BOOL {
    const uint32_t state = state_.load();
    if (state == kStatePreview || state == kStateTrigger) {
      owner_.Record(VEXCAM_ERR_NO_CAMERA);
      return 0;
    }
    if (state != kStateCapture && !Prepare()) return 0;
    CVexCamU3K9Base& cam = *owner_.Camera();
    const bool keepRunning = state == kStateCapture;
    FrameReport report;
    const BOOL result = [&]() -> BOOL {
      CsLock lock(owner_.frameLock);
      bool arrived = false;
      bool fetched = false;
      if (cam.StartCapture(kCaptureSingle) &&
          cam.WaitFrame(owner_.frameTimeoutMs.load()) == kWaitNewFrame) {
        arrived = true;
        fetched = FetchRaw();
      }
      if (!fetched) {
        if (!keepRunning) cam.StopCapture();
        owner_.Record(VEXCAM_ERR_NO_FRAME);
        if (arrived) PostFrame(target_.window, nullptr, VEXCAM_ERR_NO_FRAME);
        return 0;
      }
      RunPipeline(&report);
      if (buffer != nullptr && size > 0) {
        CallbackTarget copy{target_.window, buffer, static_cast<uint32_t>(size),
                            static_cast<uint32_t>(topDown)};
        if (!CopyToApplication(owner_.images.ImageFor(session_.colorMode), copy)) {
          if (!keepRunning) cam.StopCapture();
          owner_.Record(VEXCAM_ERR_MEMORY);
          return 0;
        }
      }
      if (!keepRunning) {
        cam.StopCapture();
        stats_.Stop();
      }
      stats_.FrameDelivered();
      imageAvailable_.store(true);
      return 1;
    }();
    ApplyFrameReport(report);
    return result;
  });
}

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

// ---------------------------------------------------------------- simple values

BOOL CaptureEngine::SetWaitTime(int milliseconds) {
  if (milliseconds < 0) return 0;
  owner_.waitTimeMs.store(static_cast<uint32_t>(milliseconds));
  return 1;
}

int CaptureEngine::GetWaitTime() { return static_cast<int>(owner_.waitTimeMs.load()); }

int CaptureEngine::Width() {
  std::lock_guard<std::mutex> lock(owner_.SettingsLock());
  return owner_.Window().width;
}

int CaptureEngine::Height() {
  std::lock_guard<std::mutex> lock(owner_.SettingsLock());
  return owner_.Window().height;
}

BOOL CaptureEngine::SetPreviewWindow(HWND parent, int x, int y, int width, int height) {
  if (!owner_.RequireCamera()) return 0;
  std::lock_guard<std::mutex> lock(controlMutex_);
  previewParent_ = parent;
  previewRect_ = {x, y, width, height};
  return 1;
}

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
