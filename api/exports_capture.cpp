// Capture modes, the preview window setting and the capture geometry getters:
// each export dispatches its handle (unknown handle: the failure value and
// nothing else) to the instance's capture engine.
#include "api/dispatch.h"
#include "instance/capture_engine.h"
#include "instance/vex_cam.h"
#include "vexcam/VexCamLinux.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::api::Dispatch;

extern "C" {

BOOL VexCam_Preview(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) { return c.Capture().Preview(); });
}

BOOL VexCam_CallBackPreview(DWORD handle, HWND callbackWindow, BYTE* buffer, int size,
                            int topDown) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) {
    return c.Capture().CallBackPreview(callbackWindow, buffer, size, topDown);
  });
}

BOOL VexCam_StartPreview(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) { return c.Capture().StartPreview(); });
}

BOOL VexCam_StopPreview(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) { return c.Capture().StopPreview(); });
}

BOOL VexCam_Capture(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) { return c.Capture().Capture(); });
}

BOOL VexCam_SnapShot(DWORD handle, BYTE* buffer, int size, int topDown) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& c) { return c.Capture().SnapShot(buffer, size, topDown); });
}

BOOL VexCam_Trigger(DWORD handle, HWND callbackWindow, BYTE* buffer, int size, int topDown) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) {
    return c.Capture().Trigger(callbackWindow, buffer, size, topDown);
  });
}

BOOL VexCam_GetImage(DWORD handle, BYTE* buffer, int size, int topDown) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& c) { return c.Capture().GetImage(buffer, size, topDown); });
}

BOOL VexCam_SetWaitTime(DWORD handle, int milliseconds) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& c) { return c.Capture().SetWaitTime(milliseconds); });
}

int VexCam_GetWaitTime(DWORD handle) {
  return Dispatch(handle, -1, [&](CVexCam& c) { return c.Capture().GetWaitTime(); });
}

int VexCam_Width(DWORD handle) {
  return Dispatch(handle, 0, [&](CVexCam& c) { return c.Capture().Width(); });
}

int VexCam_Height(DWORD handle) {
  return Dispatch(handle, 0, [&](CVexCam& c) { return c.Capture().Height(); });
}

BOOL VexCam_SetPreviewWindow(DWORD handle, HWND parent, int x, int y, int width, int height) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) {
    return c.Capture().SetPreviewWindow(parent, x, y, width, height);
  });
}

}  // extern "C"

extern "C" VEXCAM_API HWND VexWinX_GetPreviewWindow(DWORD handle) {
  return Dispatch(handle, static_cast<HWND>(nullptr),
                  [&](CVexCam& c) { return c.Capture().PreviewWindowHandle(); });
}

extern "C" VEXCAM_API BOOL VexCamX_GetStreamStats(DWORD handle, VEXCAM_STREAM_STATS* stats) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& c) { return c.Capture().GetStreamStats(stats); });
}
