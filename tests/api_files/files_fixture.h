#pragma once
// One simulated ZA01 opened by a fresh instance with neutral image settings
// in its colour mode; files go to the fixture's scratch folder.
#include "common/api_fixture.h"

namespace vexcam::test {

class FilesTest : public CameraTest {
 protected:
  FilesTest() { speedUp_ = 50; }
  void SetUp() override {
    CameraTest::SetUp();
    Neutral(false);
  }
};

}  // namespace vexcam::test
