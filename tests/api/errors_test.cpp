// Error codes and the error message, through the C API.
#include <gtest/gtest.h>

#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

namespace {

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = VexWin_CreateMessageWindow();
    handle_ = VexCam_Initialize(window_);
    ASSERT_NE(handle_, 0u);
  }
  void TearDown() override {
    VexCam_Release(handle_);
    VexWin_DestroyWindow(window_);
  }
  HWND window_ = nullptr;
  DWORD handle_ = 0;
};

TEST_F(Errors, RecordPushesBeforeItPosts) {
  EXPECT_EQ(VexCam_GetLastError(handle_), 0u) << "a fresh instance has no code";
  EXPECT_EQ(VexCam_SendText(handle_, "x", 1), 0);
  VEXWIN_MSG msg{};
  ASSERT_TRUE(VexWin_GetMessage(window_, &msg, 1000));
  EXPECT_EQ(msg.message, VEXCAM_MSG_ERROR);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_EQ(msg.lParam, 11);
  EXPECT_EQ(VexCam_GetLastError(handle_), 11u);
  EXPECT_EQ(VexCam_GetLastError(handle_), 0u);
}

TEST_F(Errors, TwentyFivePushesKeepTheNewestTwenty) {
  for (int i = 0; i < 25; ++i) VexCam_ReceiveText(handle_, nullptr, 0);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(VexCam_GetLastError(handle_), 11u) << i;
  EXPECT_EQ(VexCam_GetLastError(handle_), 0u);
}

TEST_F(Errors, RefusingFamilyPostsButDoesNotPush) {
  VexCam_SendText(handle_, nullptr, 0);  // one code on the stack
  int ok = 5;
  EXPECT_EQ(VexCam_Fps(handle_), 0);
  EXPECT_EQ(VexCam_GetHalfClock(handle_, &ok), 0);
  EXPECT_EQ(VexCam_SetHalfClock(handle_, 1), 0);
  EXPECT_EQ(VexCam_GetInternalCorrection(handle_, &ok), 0);
  EXPECT_EQ(VexCam_SetInternalCorrection(handle_, 1), 0);
  EXPECT_EQ(VexCam_SetCrossbar(handle_, 1), 0);
  int posted = 0;
  VEXWIN_MSG msg{};
  while (VexWin_PeekMessage(window_, &msg, TRUE)) {
    EXPECT_EQ(msg.message, VEXCAM_MSG_ERROR);
    EXPECT_EQ(msg.lParam, 11);
    ++posted;
  }
  EXPECT_EQ(posted, 7);  // SendText's record plus six notifications
  EXPECT_EQ(VexCam_GetLastError(handle_), 11u);
  EXPECT_EQ(VexCam_GetLastError(handle_), 0u);
}

TEST_F(Errors, FixedValueExports) {
  int value = 99;
  EXPECT_EQ(VexCam_GetSamplingRate(handle_, &value), 0);
  EXPECT_EQ(value, 0);
  value = 99;
  EXPECT_EQ(VexCam_GetVideoFormat(handle_, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(VexCam_GetSamplingRate(handle_, nullptr), 0);
  int status = 42;
  EXPECT_EQ(VexCam_GetStatus(handle_, &status), 0);
  EXPECT_EQ(status, 42);
  EXPECT_EQ(VexCam_GetLastError(handle_), 0u);
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

}  // namespace
