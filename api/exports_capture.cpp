// Capture modes, the preview window setting and the capture geometry getters.
// Not built yet: each export dispatches its handle like every export (unknown
// handle: the failure value and nothing else) and, for a known handle,
// records "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

BOOL VexCam_Preview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_CallBackPreview(DWORD handle, HWND /*callbackWindow*/, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_StartPreview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_StopPreview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Capture(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SnapShot(DWORD handle, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Trigger(DWORD handle, HWND /*callbackWindow*/, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetImage(DWORD handle, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetWaitTime(DWORD handle, int /*milliseconds*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetWaitTime(DWORD handle) {
  return NotBuilt<int>(handle, -1, nullptr);
}

int VexCam_Width(DWORD handle) {
  return NotBuilt<int>(handle, 0, nullptr);
}

int VexCam_Height(DWORD handle) {
  return NotBuilt<int>(handle, 0, nullptr);
}

BOOL VexCam_SetPreviewWindow(DWORD handle, HWND /*parent*/, int /*x*/, int /*y*/, int /*width*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

}  // extern "C"
