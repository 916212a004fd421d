#pragma once
// One simulated ZA01 opened by a fresh instance with neutral image settings
// and no preview window; files go to the fixture's scratch folder.
#include "common/api_fixture.h"

namespace vexcam::test {

class FilesTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    VexSim_SetSpeedUp(0, 50);
    AddCameras();
    ASSERT_NE(Init(), 0u);
    Neutral(false);
  }
};

}  // namespace vexcam::test
