// Capture modes and their state rules, windows and the calls an application
// may make in any order.
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "capture_fixture.h"

namespace vexcam::test {
namespace {

using Clock = std::chrono::steady_clock;
using CaptureModes = CaptureTest;

TEST_F(CaptureModes, CaptureModeExcludesTheOtherModesUntilStopped) {
  EXPECT_EQ(VexCam_Capture(h_), 1);
  EXPECT_EQ(VexCam_Capture(h_), 1);  // already prepared
  EXPECT_REFUSED(VexCam_StartPreview(h_), 1);
  EXPECT_REFUSED(VexCam_Trigger(h_, callback_, nullptr, 0, 1), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(VexCam_StartPreview(h_), 1);
  EXPECT_EQ(VexCam_StartPreview(h_), 1);  // already running
  EXPECT_REFUSED(VexCam_Capture(h_), 1);
  std::vector<uint8_t> buffer(kFull);
  EXPECT_REFUSED(VexCam_SnapShot(h_, buffer.data(), kFull, 1), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  // A Preview refused in capture mode closes capture, unlike the starts above.
  ASSERT_EQ(VexCam_Capture(h_), 1);
  EXPECT_REFUSED(VexCam_Preview(h_), VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NO_CAMERA);
  EXPECT_EQ(VexCam_StartPreview(h_), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

TEST_F(CaptureModes, SecondPreviewDuringPreviewIsRefusedAndKeepsTheFirst) {
  std::vector<uint8_t> first(kFull), second(kFull);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, first.data(), kFull, 1), 1);
  EXPECT_REFUSED(VexCam_CallBackPreview(h_, callback_, second.data(), kFull, 1), 1);
  EXPECT_REFUSED(VexCam_Preview(h_), 1);
  DrainAll();
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  ASSERT_NE(m.wParam, 0u) << m.lParam;
  EXPECT_EQ(reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam)->buffer, first.data());
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
}

TEST_F(CaptureModes, SecondTriggerIsRefusedAndTriggeredFramesArrive) {
  std::vector<uint8_t> buffer(kFull);
  ASSERT_EQ(VexCam_Trigger(h_, callback_, buffer.data(), kFull, 1), 1);
  EXPECT_REFUSED(VexCam_Trigger(h_, callback_, buffer.data(), kFull, 1), 1);
  // The loop first waits out one exposure, then arms for the next frame.
  VEXWIN_MSG m{};
  bool got = false;
  for (int i = 0; i < 50 && !got; ++i) {
    VexSim_Trigger(sim_);
    got = VexWin_GetMessage(callback_, &m, 100) && m.message == VEXCAM_MSG_FRAME;
  }
  ASSERT_TRUE(got);
  ASSERT_NE(m.wParam, 0u) << m.lParam;
  const auto* info = reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam);
  EXPECT_EQ(info->frameRate, 0u);
  EXPECT_EQ(info->buffer, buffer.data());
  // A stop ends the 60 s frame wait at once.
  const auto start = Clock::now();
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(VexCam_Capture(h_), 1);  // idle again
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  // So does a stop after the camera went away.
  ASSERT_EQ(VexCam_Trigger(h_, callback_, buffer.data(), kFull, 1), 1);
  ASSERT_TRUE(VexSim_Unplug(sim_));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto unplugged = Clock::now();
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_LT(Clock::now() - unplugged, std::chrono::seconds(2));
  EXPECT_EQ(VexCam_SnapShot(h_, buffer.data(), kFull, 1), 0);
}

TEST_F(CaptureModes, StartsThatNeedAPreviewWindowFailWithFour) {
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 640, 512), 1);
  EXPECT_REFUSED(VexCam_Preview(h_), 4);
  HWND parent = VexWin_CreateMessageWindow();
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, parent, 0, 0, 0, 0), 1);
  EXPECT_REFUSED(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 4);
  EXPECT_REFUSED(VexCam_Trigger(h_, callback_, nullptr, 0, 1), 4);
  EXPECT_EQ(VexCam_StartPreview(h_), 1);  // needs no window
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  EXPECT_EQ(VexCam_Preview(h_), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  VexWin_DestroyWindow(parent);
}

// The ZA01 refuses windows other than 640 x 512 through
// VexCam_SetCaptureWindowEx, so a smaller window comes from a stored preset.
TEST_F(CaptureModes, CentredWindowDeliversItsSize) {
  ASSERT_NO_FATAL_FAILURE(Restart({{"Size", 0}}, settings_test::Preset(320, 240, 160, 136)));
  ASSERT_EQ(VexCam_Width(h_), 320);
  const int size = 320 * 240;
  std::vector<uint8_t> buffer(size);
  EXPECT_EQ(VexCam_SnapShot(h_, buffer.data(), size, 1), 1);
  EXPECT_REFUSED(VexCam_GetImage(h_, buffer.data(), size - 1, 1), 5, 5);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), size, 1), 1);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  ASSERT_NE(m.wParam, 0u) << m.lParam;
  const auto* info = reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam);
  EXPECT_EQ(info->width, 320u);
  EXPECT_EQ(info->height, 240u);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
}

TEST_F(CaptureModes, ValuesAndArgumentsOutOfRange) {
  EXPECT_EQ(VexCam_SetWaitTime(h_, -1), 0);
  EXPECT_EQ(VexCam_SetWaitTime(h_, 25), 1);
  EXPECT_EQ(VexCam_GetWaitTime(h_), 25);
  EXPECT_TRUE(Codes().empty());
  std::vector<uint8_t> buffer(kFull);
  EXPECT_REFUSED(VexCam_SnapShot(h_, buffer.data(), -5, 1), 9);
  EXPECT_REFUSED(VexCam_CallBackPreview(h_, callback_, buffer.data(), -5, 1), 9);
  EXPECT_REFUSED(VexCam_Trigger(h_, callback_, buffer.data(), -5, 1), 9);
  // No image yet, then a null buffer.
  EXPECT_REFUSED(VexCam_GetImage(h_, nullptr, kFull, 1), 5);
  EXPECT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);  // a frame without a copy
  EXPECT_REFUSED(VexCam_GetImage(h_, nullptr, kFull, 1), 5);
  EXPECT_REFUSED(VexCam_GetImage(h_, buffer.data(), -1, 1), 5, 5);
  EXPECT_EQ(VexCam_GetImage(h_, buffer.data(), kFull, 1), 1);
}

TEST_F(CaptureModes, CloseAndReleaseInAnyOrder) {
  std::vector<uint8_t> buffer(kFull);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);  // stop before start
  EXPECT_EQ(VexCam_Close(h_), 1);
  EXPECT_EQ(VexCam_Close(h_), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), kFull, 1), 1);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  EXPECT_EQ(VexCam_Close(h_), 1);
  EXPECT_EQ(VexCam_StartPreview(h_), 1);  // closed capture starts again
  ASSERT_TRUE(NextFrame(&m));
  // Release while previewing stops the worker before the instance goes.
  EXPECT_EQ(VexCam_Release(h_), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 0);
  EXPECT_EQ(VexCam_GetLastError(h_), 0u);
  h_ = 0;
  // Nothing is delivered after the release returned.
  DrainAll();
  EXPECT_FALSE(VexWin_GetMessage(callback_, &m, 300));
}

// Without a camera the instance opened nothing: every start fails at its
// preparation, leaving the start's code and then its own.
TEST_F(CaptureModes, WithoutACameraFailedStartsLeaveTheStartCodeThenTheirOwn) {
  Release();
  VexSim_RemoveAll();
  ASSERT_NE(Init(), 0u);
  Neutral();
  std::vector<BYTE> buffer(kFull);
  EXPECT_REFUSED(VexCam_Preview(h_), VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NOT_OPENED);
  EXPECT_REFUSED(VexCam_CallBackPreview(h_, callback_, buffer.data(), kFull, 1),
                 VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NOT_OPENED);
  EXPECT_REFUSED(VexCam_Record(h_, Path("never-created.avi").c_str(), 1000, 0),
                 VEXCAM_ERR_FILE_OR_TEXT, VEXCAM_ERR_NOT_OPENED);
  // Trigger and the plain starts add nothing to the preparation's code.
  EXPECT_REFUSED(VexCam_Trigger(h_, callback_, buffer.data(), kFull, 1), VEXCAM_ERR_NOT_OPENED);
  EXPECT_REFUSED(VexCam_StartPreview(h_), VEXCAM_ERR_NOT_OPENED);
  // Every recorded code was posted too, in the order pushed.
  EXPECT_EQ(Posted(), (std::vector<LPARAM>{2, 8, 2, 8, 2, 12, 2, 2}));
  VEXWIN_MSG msg{};
  EXPECT_FALSE(VexWin_PeekMessage(callback_, &msg, TRUE)) << "no frame message without a frame";
  EXPECT_FALSE(std::filesystem::exists(Path("never-created.avi")));
  EXPECT_EQ(VexCam_Capture(h_), 0);
  EXPECT_EQ(VexCam_SnapShot(h_, buffer.data(), kFull, 1), 0);
  for (DWORD code : Codes()) EXPECT_EQ(code, 2u);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(VexCam_Close(h_), 1);
}

// The ZA01 exposes for up to about two minutes, far beyond 16 bits of tenths
// of milliseconds: the camera must get the whole value the API accepted.
TEST_F(CaptureModes, RealExposureAbove16BitsReachesTheCameraWhole) {
  VEXCAM_CAMERA_INFO info{};
  info.size = sizeof(info);
  ASSERT_EQ(VexCam_GetCameraInfo(h_, &info), 1);
  const int tenths = 70000;  // 0x11170: its low 16 bits are a different exposure
  ASSERT_GE(info.exposureTimeMax, tenths);
  // In capture mode the camera keeps running between snapshots, so only the
  // setter itself carries the value to it; the next frame has the new exposure.
  ASSERT_EQ(VexCam_Capture(h_), 1);
  ASSERT_EQ(VexCam_SetRealExposureTime(h_, tenths * 100 + 42), 1);
  int ok = 0;
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), tenths * 100);
  ASSERT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  EXPECT_EQ(VexCam_GetExposureTime(h_, &ok), tenths);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace vexcam::test
