// Camera enumeration, naming, selection, close and camera information.
#include "api/dispatch.h"
#include "instance/vex_cam.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::api::Dispatch;

extern "C" {

int VexCam_EnumDevice(DWORD handle, char names[10][256]) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.EnumDevice(names); });
}

int VexCam_EnumDeviceW(DWORD handle, wchar_t names[10][256]) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.EnumDeviceW(names); });
}

BOOL VexCam_GetDeviceName(DWORD handle, int index, char* name, int size) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.GetDeviceName(index, name, size); });
}

BOOL VexCam_GetDeviceNameW(DWORD handle, int index, wchar_t* name, int size) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.GetDeviceNameW(index, name, size); });
}

BOOL VexCam_SetDeviceNumber(DWORD handle, int number) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetDeviceNumber(number); });
}

BOOL VexCam_Close(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [](CVexCam& cam) { return cam.Close(); });
}

BOOL VexCam_GetCameraInfo(DWORD handle, VEXCAM_CAMERA_INFO* info) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.GetCameraInfo(info); });
}

}  // extern "C"
