#include "camera/vex_cam_usb3k9_simple_sdk.h"

namespace vexcam {

// Closes here too, so the transfer thread is stopped before any part of this
// object goes away.
CVexCamUSB3K9SimpleSdk::~CVexCamUSB3K9SimpleSdk() { CVexCamU3K9Base::CloseCamera(nullptr); }

}  // namespace vexcam
