#include "instance/capture_engine.h"

#include <system_error>

#include "instance/preview_window.h"
#include "instance/vex_cam.h"
#include "platform/clock.h"
#include "platform/critical_section.h"

namespace vexcam {

namespace {

constexpr uint32_t kTriggerTimeoutMs = 6000;  // frame time-out once trigger mode ran

}  // namespace

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

void CaptureEngine::ClosePreviewWindow() {
  Locked([&] {
    ClosePreviewWindowLocked();
    return 1;
  });
}

bool CaptureEngine::AcceptsCall(int size) {
  if (!owner_.RequireCamera()) return false;
  if (size < 0) {
    owner_.Record(VEXCAM_ERR_INVALID_ARG);
    return false;
  }
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

}  // namespace vexcam
