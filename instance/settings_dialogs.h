#pragma once
// The three settings dialogs of an instance: VexCam_SetCameraDlg,
// VexCam_SetAnalogDlg and VexCam_SetImageDlg. The dialogs themselves live in
// the dialog module (Qt), loaded on first use; this side supplies what they
// read and write (settings, settings store, camera) and what happens around
// them (capture stopped or paused, settings reloaded).
//
// Each returns 1 once its dialog has closed, whatever the button. Without an
// open camera: code 1 and 0. Module or Qt missing, no display, or a call
// from another thread than the one Qt runs on: code 4 and 0.

#include "instance/vex_cam.h"

namespace vexcam {

BOOL RunCameraDialog(CVexCam& cam, HWND parent);
BOOL RunAnalogDialog(CVexCam& cam, HWND parent);
BOOL RunImageDialog(CVexCam& cam, HWND parent);

}  // namespace vexcam
