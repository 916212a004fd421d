#pragma once
// One model's SDK on its own simulated camera, opened as device 0 by a fresh
// instance without a preview window. The build passes the model
// (VEXCAM_TEST_MODEL), its product id (VEXCAM_TEST_PRODUCT) and its sensor size.
#include <filesystem>
#include <string>

#include "common/api_fixture.h"

namespace model_test {

inline constexpr int kWidth = VEXCAM_TEST_WIDTH;
inline constexpr int kHeight = VEXCAM_TEST_HEIGHT;
inline const std::string kDeviceName = std::string("VexCam") + VEXCAM_TEST_MODEL + "_01";

inline std::filesystem::path SettingsFile() {
  return std::filesystem::path(vexcam::test::ConfigHome()) / "Quorin" /
         (std::string("VexCam") + VEXCAM_TEST_MODEL + "3K9Sdk.reg");
}

// Bytes of one frame of the full sensor in a colour mode (rows padded to 4).
inline int FrameBytes(int bits) { return (kWidth * bits / 8 + 3) / 4 * 4 * kHeight; }

class Model : public vexcam::test::CameraTest {
 protected:
  Model() {
    product_ = VEXCAM_TEST_PRODUCT;
    speedUp_ = 50;
  }
  void SetUp() override {
    std::error_code ec;
    std::filesystem::remove(SettingsFile(), ec);
    CameraTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Opened());
  }
  // With one camera present a new instance opens it as device 0.
  void Opened() {
    ASSERT_EQ(VexCam_Width(h_), kWidth) << "no camera opened";
    ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  }
  void Reopen() {
    ASSERT_NO_FATAL_FAILURE(Release());
    ASSERT_NE(Init(), 0u);
    Opened();
  }
};

}  // namespace model_test
