// Camera enumeration, naming, selection, close and camera information.
// Not built yet: each export dispatches its handle like every export (unknown
// handle: the failure value and nothing else) and, for a known handle,
// records "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

int VexCam_EnumDevice(DWORD handle, char /*names*/[10][256]) {
  return NotBuilt<int>(handle, 0, nullptr);
}

int VexCam_EnumDeviceW(DWORD handle, wchar_t /*names*/[10][256]) {
  return NotBuilt<int>(handle, 0, nullptr);
}

BOOL VexCam_GetDeviceName(DWORD handle, int /*index*/, char* /*name*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetDeviceNameW(DWORD handle, int /*index*/, wchar_t* /*name*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetDeviceNumber(DWORD handle, int /*number*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Close(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetCameraInfo(DWORD handle, VEXCAM_CAMERA_INFO* /*info*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

}  // extern "C"
