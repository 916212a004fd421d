#pragma once
// The capture engine of an instance: capture preparation, the capture modes
// (continuous preview, capture mode with snapshots, trigger), the worker
// thread with its continuous and trigger loops, the copy into the
// application's buffer, the frame info record and the frame message.

#include <cstdint>

#include "vexcam/VexCamSdk.h"

namespace vexcam {

class CVexCam;

class CaptureEngine {
 public:
  explicit CaptureEngine(CVexCam& owner);
  ~CaptureEngine();  // stops the worker and the record thread
  CaptureEngine(const CaptureEngine&) = delete;
  CaptureEngine& operator=(const CaptureEngine&) = delete;

  BOOL Preview();
  BOOL CallBackPreview(HWND callbackWindow, BYTE* buffer, int size, int topDown);
  BOOL StartPreview();
  BOOL StopPreview();
  BOOL Capture();
  BOOL SnapShot(BYTE* buffer, int size, int topDown);
  BOOL Trigger(HWND callbackWindow, BYTE* buffer, int size, int topDown);
  BOOL GetImage(BYTE* buffer, int size, int topDown);
  BOOL SetWaitTime(int milliseconds);
  int GetWaitTime();
  int Width();
  int Height();
  BOOL SetPreviewWindow(HWND parent, int x, int y, int width, int height);

  uint32_t State() const;

 private:
  CVexCam& owner_;
};

}  // namespace vexcam
