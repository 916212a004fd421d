#include <algorithm>

#include "instance/capture_engine.h"
#include "instance/preview_window.h"
#include "instance/vex_cam.h"
#include "platform/critical_section.h"

namespace vexcam {

namespace {

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

bool Is16BitTransfer(int mode) { return mode == 1 || mode == 4 || mode == 5; }

}  // namespace

bool CaptureEngine::IsValidMode(int mode) {
  return mode >= 0 && mode < ImagePipeline::kColorModeCount;
}

// ---------------------------------------------------------------- preview window

bool CaptureEngine::NeedsPreviewWindow() const {
  return previewParent_ != nullptr ||
         std::any_of(previewRect_.begin(), previewRect_.end(), [](int32_t v) { return v != 0; });
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

HWND CaptureEngine::PreviewWindowHandle() {
  CsLock lock(owner_.frameLock);
  return preview_ ? preview_->Handle() : nullptr;
}

// ---------------------------------------------------------------- preparation

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
  if (!PrepareImages(cam, window, settings)) {
    return false;
  }
  if (!ProgramCaptureArea(cam, window, settings)) return false;
  ApplyAnalogSettings(cam, analog);
  cam.StartStream();
  cam.ResetCounters();
  stats_.Start();
  // The display image is sized by the first frame drawn into the window.
  return true;
}

bool CaptureEngine::PrepareImages(CVexCamU3K9Base& cam, const CaptureWindow& window,
                                  const ImageSettings& settings) {
  const int mode = settings.colorMode;
  const int32_t divisor = SubSampleDivisor(settings.subSample);
  // Output size and images. The worker of a previous start may still be
  // finishing a frame, hence the frame lock.
  const int outWidth = window.width / divisor;
  const int outHeight = window.height / divisor;
  // Images only for what this mode and these settings use, so that a large
  // sensor does not hold images of every mode at once; a setting changed
  // while streaming makes its image once, on the next frame.
  const bool grayFromColor = settings.grayMode == 2;
  const bool sharpen = settings.sharpness != 0;
  // Color 24 also serves the luma of Mono 8 and the preview of the wider
  // colour modes.
  const bool needs24 = (mode == VEXCAM_COLOR_MONO8 && grayFromColor) ||
                       (mode > VEXCAM_COLOR_24 && IsValidMode(mode) && NeedsPreviewWindow());
  CsLock lock(owner_.frameLock);
  bool sized = IsValidMode(mode) && owner_.images.Configure(outWidth, outHeight, mode);
  if (sized && needs24) {
    DibImage& c24 = owner_.images.Color(24);
    if (c24.IsEmpty() || c24.Width() != outWidth || c24.Height() != outHeight) {
      sized = c24.Create(outWidth, outHeight, 24);
    }
  }
  if (sized && sharpen) sized = owner_.images.SharpenCopy().CloneFrom(owner_.images.ImageFor(mode));
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
  return true;
}

bool CaptureEngine::ProgramCaptureArea(CVexCamU3K9Base& cam, const CaptureWindow& window,
                                       const ImageSettings& settings) {
  const int mode = settings.colorMode;
  const int32_t divisor = SubSampleDivisor(settings.subSample);
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
  CsLock lock(owner_.frameLock);
  if (cam.FramePlanes() > 1) {
    // Colour frames come into the plane frame at the size the camera sends;
    // the pipeline reduces them itself.
    subSampler_.Disable();
    if (cam.GetCaptureArea(&areaX, &areaY, &areaWidth, &areaHeight, &areaFlag) == 0 ||
        !owner_.images.ConfigurePlanes(static_cast<int>(areaWidth), static_cast<int>(areaHeight),
                                       Is16BitTransfer(mode) ? 2 : 1)) {
      owner_.Record(VEXCAM_ERR_MEMORY);
      return false;
    }
    return true;
  }
  owner_.images.DisablePlanes();
  if (!wholeWindow) {
    subSampler_.Disable();
  } else if (!subSampler_.Prepare(window.width, window.height, Is16BitTransfer(mode) ? 16 : 8,
                                  divisor, mode >= VEXCAM_COLOR_24)) {
    owner_.Record(VEXCAM_ERR_MEMORY);
    return false;
  }
  return true;
}

void CaptureEngine::ApplyAnalogSettings(CVexCamU3K9Base& cam, const AnalogSettings& analog) {
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
}

}  // namespace vexcam
