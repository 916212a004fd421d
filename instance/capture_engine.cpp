#include "instance/capture_engine.h"

#include "instance/vex_cam.h"

namespace vexcam {

CaptureEngine::CaptureEngine(CVexCam& owner) : owner_(owner) {}
CaptureEngine::~CaptureEngine() = default;

// Not built yet: every capture operation records "not supported".
BOOL CaptureEngine::Preview() { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::CallBackPreview(HWND, BYTE*, int, int) { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::StartPreview() { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::StopPreview() { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::Capture() { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::SnapShot(BYTE*, int, int) { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::Trigger(HWND, BYTE*, int, int) { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::GetImage(BYTE*, int, int) { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::SetWaitTime(int) { owner_.NotBuilt(); return 0; }
int CaptureEngine::GetWaitTime() { owner_.NotBuilt(); return -1; }
int CaptureEngine::Width() { owner_.NotBuilt(); return 0; }
int CaptureEngine::Height() { owner_.NotBuilt(); return 0; }
BOOL CaptureEngine::SetPreviewWindow(HWND, int, int, int, int) { owner_.NotBuilt(); return 0; }
uint32_t CaptureEngine::State() const { return 0; }

}  // namespace vexcam
