#pragma once
// One simulated ZA01 opened by a fresh instance with a notify and a callback
// window and neutral image settings.
#include "sim_picture.h"
#include "tests/api_settings/settings_fixture.h"

namespace vexcam::test {

class CaptureTest : public CameraTest {
 protected:
  CaptureTest() { speedUp_ = 50; }
  void SetUp() override {
    CameraTest::SetUp();
    Neutral();
  }
  // A new instance on a settings file holding only these values of camera 0
  // and, when given, of its size preset 0.
  void Restart(const settings_test::Values& camera, const settings_test::Values& size0 = {}) {
    Release();
    if (size0.empty()) settings_test::WriteReg({{"Camera_00", camera}});
    if (!size0.empty())
      settings_test::WriteReg({{"Camera_00", camera}, {"Camera_00\\Size_00", size0}});
    ASSERT_NE(Init(), 0u);
    Neutral();
  }
};

}  // namespace vexcam::test
