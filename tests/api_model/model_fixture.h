#pragma once
// One model's SDK on its own simulated camera, opened as device 0 by a fresh
// instance without a preview window. The build passes the model
// (VEXCAM_TEST_MODEL), its product id (VEXCAM_TEST_PRODUCT) and its sensor size.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

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

class Model : public ::testing::Test {
 protected:
  void SetUp() override {
    VexSim_RemoveAll();
    VexSim_SetSpeedUp(0, 50);
    std::error_code ec;
    std::filesystem::remove(SettingsFile(), ec);
    ASSERT_NE(VexSim_AddCamera(VEXCAM_TEST_PRODUCT), 0u);
    callback_ = VexWin_CreateMessageWindow();
    ASSERT_NO_FATAL_FAILURE(Open());
  }
  void TearDown() override {
    if (h_ != 0) VexCam_Release(h_);
    VexWin_DestroyWindow(callback_);
    VexSim_RemoveAll();
  }
  // A new instance; with one camera present it opens it as device 0.
  void Open() {
    h_ = VexCam_Initialize(nullptr);
    ASSERT_NE(h_, 0u);
    ASSERT_EQ(VexCam_Width(h_), kWidth) << "no camera opened";
    ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  }
  void Reopen() {
    ASSERT_EQ(VexCam_Release(h_), 1);
    h_ = 0;
    Open();
  }
  VEXCAM_CAMERA_INFO Info() {
    VEXCAM_CAMERA_INFO info{};
    info.size = sizeof info;
    EXPECT_EQ(VexCam_GetCameraInfo(h_, &info), 1);
    return info;
  }
  std::vector<DWORD> Codes() {
    std::vector<DWORD> codes;
    for (DWORD c; (c = VexCam_GetLastError(h_)) != 0;) codes.push_back(c);
    return codes;
  }

  HWND callback_ = nullptr;
  DWORD h_ = 0;
};

}  // namespace model_test
