#include "instance/vex_cam.h"

#include "platform/message_window.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam {

uint32_t CVexCam::Initialize(HWND notifyWindow) {
  notify_window_.store(notifyWindow);
  return 1;
}

void CVexCam::Record(uint32_t code) {
  errors_.Push(code);
  if (HWND window = notify_window_.load()) {
    PostWindowMessage(window, VEXCAM_MSG_ERROR, 0, static_cast<LPARAM>(static_cast<int32_t>(code)));
  }
}

void CVexCam::Notify(uint32_t code) {
  PostWindowMessage(notify_window_.load(), VEXCAM_MSG_ERROR, 0,
                    static_cast<LPARAM>(static_cast<int32_t>(code)));
}

void CVexCam::NotBuilt(int* ok) {
  if (ok) *ok = 0;
  Record(VEXCAM_ERR_NOT_SUPPORTED);
}

}  // namespace vexcam
