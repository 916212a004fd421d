// Error codes and the error message, through the C API.
#include <gtest/gtest.h>

#include <vector>

#include "common/api_fixture.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

namespace {

// An instance on no camera or (DeviceErrors) on a simulated camera of the
// library's model.
class Errors : public vexcam::test::CameraTest {
 protected:
  Errors() { product_ = 0; }
};
class DeviceErrors : public vexcam::test::CameraTest {
 protected:
  DeviceErrors() { product_ = VEXCAM_TEST_PRODUCT; }
};

TEST_F(Errors, RecordPushesBeforeItPosts) {
  EXPECT_EQ(VexCam_SendText(h_, "x", 1), 0);
  VEXWIN_MSG msg{};
  ASSERT_TRUE(VexWin_GetMessage(notify_, &msg, 1000));
  EXPECT_EQ(msg.message, VEXCAM_MSG_ERROR);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_EQ(msg.lParam, 11);
  EXPECT_EQ(VexCam_GetLastError(h_), 11u);
  EXPECT_EQ(VexCam_GetLastError(h_), 0u);
}

TEST_F(Errors, RefusingFamilyPostsButDoesNotPush) {
  VexCam_SendText(h_, nullptr, 0);  // one code on the stack
  int ok = 5;
  EXPECT_EQ(VexCam_Fps(h_), 0);
  EXPECT_EQ(VexCam_GetHalfClock(h_, &ok), 0);
  EXPECT_EQ(VexCam_SetHalfClock(h_, 1), 0);
  EXPECT_EQ(VexCam_GetInternalCorrection(h_, &ok), 0);
  EXPECT_EQ(VexCam_SetInternalCorrection(h_, 1), 0);
  EXPECT_EQ(VexCam_SetCrossbar(h_, 1), 0);
  // SendText's record plus six notifications.
  EXPECT_EQ(Posted(), std::vector<LPARAM>(7, 11));
  EXPECT_EQ(VexCam_GetLastError(h_), 11u);
  EXPECT_EQ(VexCam_GetLastError(h_), 0u);
}

TEST_F(Errors, FixedValueExports) {
  int value = 99;
  EXPECT_EQ(VexCam_GetSamplingRate(h_, &value), 0);
  EXPECT_EQ(value, 0);
  value = 99;
  EXPECT_EQ(VexCam_GetVideoFormat(h_, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(VexCam_GetSamplingRate(h_, nullptr), 0);
  int status = 42;
  EXPECT_EQ(VexCam_GetStatus(h_, &status), 0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(VexCam_GetLastError(h_), 0u);
}

// A missing, destroyed or never-created notify window never stops the push;
// posts to it simply fail (an arbitrary value is never dereferenced).
TEST(ErrorsWindow, CodesArePushedWhateverTheNotifyWindow) {
  HWND destroyed = VexWin_CreateMessageWindow();
  for (HWND window :
       {HWND{}, destroyed, reinterpret_cast<HWND>(static_cast<uintptr_t>(0xDEADBEEF))}) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(window));
    const DWORD h = VexCam_Initialize(window);
    ASSERT_NE(h, 0u);
    if (window == destroyed) {
      ASSERT_TRUE(VexWin_DestroyWindow(destroyed));
    }
    EXPECT_EQ(VexCam_SendText(h, "a", 1), 0);
    EXPECT_EQ(VexCam_Fps(h), 0);  // notifies only
    EXPECT_EQ(VexCam_GetLastError(h), 11u);
    EXPECT_EQ(VexCam_GetLastError(h), 0u);
    VexCam_Release(h);
  }
}

TEST_F(DeviceErrors, PortAndEepromFailuresArePostedButNeverPushed) {
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  int ok = 1;
  BYTE port = 0x33;
  EXPECT_EQ(VexCam_ReadSromID(h_, 0x10, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Posted(), std::vector<LPARAM>{1});
  EXPECT_EQ(VexCam_GetIOPort(h_, &port), 0);
  EXPECT_EQ(port, 0x33);
  EXPECT_EQ(Posted(), std::vector<LPARAM>{9}) << "a failed port read is reported as 9";
  // The port write only returns the device's result.
  EXPECT_EQ(VexCam_SetIOPort(h_, 1), 0);
  EXPECT_TRUE(Posted().empty());
  EXPECT_EQ(VexCam_WriteSromID(h_, 0x10, 0x5A), 0);
  const std::vector<LPARAM> posted = Posted();
  ASSERT_FALSE(posted.empty());
  for (LPARAM code : posted) EXPECT_EQ(code, 1);
  // The mirror flags need only the device model, not a reachable camera.
  EXPECT_EQ(VexCam_SetMirrorV(h_, 3), 1);
  EXPECT_EQ(VexCam_GetMirrorV(h_), 1);
  EXPECT_TRUE(Posted().empty());
  // Colour-gain getters whose device read fails tell it through ok alone.
  int failed = 0;
  for (int id : {13, 14, 15, 16, 17, 18}) {
    ok = 1;
    const int value = VexCam_GetFilterValue(h_, id, &ok);
    if (ok == 0) {
      EXPECT_EQ(value, 0) << id;
      ++failed;
    }
  }
  EXPECT_GT(failed, 0) << "no device read failed";
  EXPECT_TRUE(Posted().empty());
  EXPECT_TRUE(Codes().empty());
}

TEST_F(DeviceErrors, DeviceBackedIdsFollowTheCamera) {
  int ok = 0;
  // Correction mode: the device's answer; a refused write is only a result.
  VexCam_GetFilterValue(h_, VEXCAM_VALUE_CORRECTION_MODE, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_SetFilterValue(h_, VEXCAM_VALUE_CORRECTION_MODE, 1), 0);
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Posted().empty());
  // Neither the ZA01 nor the IMX990 has automatic correction or an analog gain.
  for (int id : {VEXCAM_VALUE_AUTO_CORRECTION, VEXCAM_VALUE_ANALOG_GAIN}) {
    ok = 1;
    EXPECT_REFUSED(VexCam_GetFilterValue(h_, id, &ok), VEXCAM_ERR_NOT_SUPPORTED);
    EXPECT_EQ(ok, 0);
    EXPECT_REFUSED(VexCam_SetFilterValue(h_, id, 1), VEXCAM_ERR_NOT_SUPPORTED);
  }
}

TEST_F(Errors, StoredValuesNeedNoOpenCameraButDeviceValuesDo) {
  int ok = 0;
  EXPECT_EQ(VexCam_SetHue(h_, -360), 1);
  EXPECT_EQ(VexCam_GetHue(h_, &ok), -360);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_SetFilterValue(h_, VEXCAM_VALUE_AUTO_GRAY, 1), 1);
  EXPECT_TRUE(Codes().empty());
  ok = 1;
  EXPECT_EQ(VexCam_GetTemperature(h_, &ok), -1);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{VEXCAM_ERR_NOT_SUPPORTED});
  ok = 1;
  EXPECT_EQ(VexCam_GetTemperatureEx(h_, &ok), 0.0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(VexCam_GetPeltier(h_, &ok), -1);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NOT_SUPPORTED, VEXCAM_ERR_NOT_SUPPORTED}));
  ok = 1;
  VexCam_GetGlobalGain(h_, &ok);
  EXPECT_EQ(ok, 0);
}

}  // namespace
