#pragma once
// One simulated ZA01 opened by a fresh instance with a notify and a callback
// window and neutral image settings.
#include "common/api_fixture.h"

namespace vexcam::test {

class CaptureTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    VexSim_SetSpeedUp(0, 50);
    if (AddCamera()) AddCameras();
    MakeWindows();
    ASSERT_NE(Init(), 0u);
    Neutral();
  }
  // False for a test without a camera; may set up the camera's settings first.
  virtual bool AddCamera() { return true; }
};

}  // namespace vexcam::test
