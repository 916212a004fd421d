// Image files, recording, configuration and mask files, size presets and the
// settings dialogs.
#include "api/dispatch.h"
#include "instance/capture_engine.h"
#include "instance/image_saver.h"
#include "instance/mask_files.h"
#include "instance/recorder.h"
#include "instance/settings_dialogs.h"
#include "instance/settings_persistence.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::api::Dispatch;

extern "C" {

BOOL VexCam_Record(DWORD handle, const char* fileName, DWORD durationMs, int showWindow) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) {
    return cam.Capture().Recording().Start(fileName, durationMs, showWindow);
  });
}

BOOL VexCam_RecordW(DWORD handle, const wchar_t* fileName, DWORD durationMs, int showWindow) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) {
    return cam.Capture().Recording().StartW(fileName, durationMs, showWindow);
  });
}

BOOL VexCam_SetCaptureWindow(DWORD handle, int width, int height) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) {
    return vexcam::SetCaptureWindowFromPresets(cam, width, height);
  });
}

BOOL VexCam_SetCameraDlg(DWORD handle, HWND parent) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::RunCameraDialog(cam, parent); });
}

BOOL VexCam_SetAnalogDlg(DWORD handle, HWND parent) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::RunAnalogDialog(cam, parent); });
}

BOOL VexCam_SetImageDlg(DWORD handle, HWND parent) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::RunImageDialog(cam, parent); });
}

BOOL VexCam_SaveImage(DWORD handle, const char* fileName, int format) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::SaveImage(cam, fileName, format); });
}

BOOL VexCam_SaveImageW(DWORD handle, const wchar_t* fileName, int format) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::SaveImageW(cam, fileName, format); });
}

BOOL VexCam_LoadConfigFileA(DWORD handle, const char* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::LoadConfigFile(cam, fileName); });
}

BOOL VexCam_LoadConfigFileW(DWORD handle, const wchar_t* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::LoadConfigFileW(cam, fileName); });
}

BOOL VexCam_LoadMaskFile(DWORD handle, const char* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::LoadMaskFile(cam, fileName); });
}

BOOL VexCam_LoadMaskFileW(DWORD handle, const wchar_t* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::LoadMaskFileW(cam, fileName); });
}

BOOL VexCam_SaveMaskFile(DWORD handle, const char* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::SaveMaskFile(cam, fileName); });
}

BOOL VexCam_SaveMaskFileW(DWORD handle, const wchar_t* fileName) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::SaveMaskFileW(cam, fileName); });
}

BOOL VexCam_UpdateMaskData(DWORD handle, int which) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return vexcam::UpdateMaskData(cam, which); });
}

}  // extern "C"
