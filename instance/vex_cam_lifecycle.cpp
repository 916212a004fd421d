#include "instance/capture_engine.h"
#include "instance/device_watch.h"
#include "instance/vex_cam.h"

namespace vexcam {

uint32_t CVexCam::Initialize(HWND notifyWindow) {
  notifyWindow_.store(notifyWindow);
  return 1;
}

CVexCam::~CVexCam() = default;

}  // namespace vexcam
