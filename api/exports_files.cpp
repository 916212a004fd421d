// Image files, recording, configuration and mask files, size presets and dialogs.
// Not built yet: each export dispatches its handle like every export (unknown
// handle: the failure value and nothing else) and, for a known handle,
// records "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

BOOL VexCam_Record(DWORD handle, const char* /*fileName*/, DWORD /*durationMs*/, int /*showWindow*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_RecordW(DWORD handle, const wchar_t* /*fileName*/, DWORD /*durationMs*/, int /*showWindow*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetCaptureWindow(DWORD handle, int /*width*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetCameraDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetAnalogDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetImageDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveImage(DWORD handle, const char* /*fileName*/, int /*format*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveImageW(DWORD handle, const wchar_t* /*fileName*/, int /*format*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadConfigFileA(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadConfigFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadMaskFile(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadMaskFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveMaskFile(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveMaskFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_UpdateMaskData(DWORD handle, int /*which*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

}  // extern "C"
