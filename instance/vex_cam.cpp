#include "instance/vex_cam.h"

#include "instance/capture_engine.h"
#include "instance/device_watch.h"
#include "platform/message_window.h"
#include "platform/text_convert.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam {

CVexCam::CVexCam() : capture_(std::make_unique<CaptureEngine>(*this)) {}

void CVexCam::Record(uint32_t code) {
  errors_.Push(code);
  if (HWND window = notifyWindow_.load()) {
    PostWindowMessage(window, VEXCAM_MSG_ERROR, 0, static_cast<LPARAM>(static_cast<int32_t>(code)));
  }
}

void CVexCam::Notify(uint32_t code) {
  PostWindowMessage(notifyWindow_.load(), VEXCAM_MSG_ERROR, 0,
                    static_cast<LPARAM>(static_cast<int32_t>(code)));
}

bool CVexCam::RequireCamera() {
  if (camera) return true;
  Record(VEXCAM_ERR_NO_CAMERA);
  return false;
}

bool CVexCam::NarrowFileName(const wchar_t* wide, char (&narrow)[kFileNameBytes]) {
  if (WideToMultiByte(CodePage::kThreadAcp, wide, -1, narrow, kFileNameBytes) > 0) return true;
  Record(VEXCAM_ERR_FILE_OR_TEXT);
  return false;
}

void CVexCam::NotBuilt(int* ok) {
  if (ok) *ok = 0;
  Record(VEXCAM_ERR_NOT_SUPPORTED);
}

}  // namespace vexcam
