// Instance lifecycle through the C API: enumeration, naming, selection,
// close, device-change messages, against simulated cameras.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>

#include "common/api_fixture.h"

namespace {

using vexcam::test::kZa01;

// Waits for the next WM_DEVICECHANGE and returns its wParam; 0 on time-out.
WPARAM WaitDeviceChange(HWND window, DWORD timeoutMs) {
  VEXWIN_MSG msg{};
  while (VexWin_GetMessage(window, &msg, timeoutMs)) {
    if (msg.message == WM_DEVICECHANGE) return msg.wParam;
  }
  return 0;
}

// A sensor register answers only once a camera was opened (sensor driver).
bool CameraIsOpen(DWORD h) {
  int ok = 0;
  VexCam_ReadRegisterEx(h, 0, &ok);
  while (VexCam_GetLastError(h) != 0) {}
  return ok == 1;
}

using Lifecycle = vexcam::test::ApiTest;

// Of two cameras initialisation opens neither until a number is set. (No
// camera: CaptureModes.WithoutACameraFailedStartsLeaveTheStartCodeThenTheirOwn';
// a single one opened: the Model fixture's check.)
TEST_F(Lifecycle, OfTwoCamerasNoneOpensUntilANumberIsSet) {
  AddCameras(2);
  ASSERT_NE(Init(), 0u);
  EXPECT_FALSE(CameraIsOpen(h_));
  EXPECT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  EXPECT_TRUE(CameraIsOpen(h_));
  ExpectCodes({});
}

TEST_F(Lifecycle, EnumerationNumbersPositionsWhileNamesKeepDeviceNumbers) {
  VexSim_AddCamera(kZa01);
  const UINT second = VexSim_AddCamera(kZa01);
  VexSim_AddCamera(kZa01);
  h_ = VexCam_Initialize(nullptr);  // puts device numbers 0, 1, 2 in the table
  ASSERT_EQ(VexSim_Unplug(second), 1);

  char names[10][256];
  std::memset(names, 'x', sizeof(names));
  ASSERT_EQ(VexCam_EnumDevice(h_, names), 2);
  EXPECT_STREQ(names[0], "VexCamZA01_01");
  EXPECT_STREQ(names[1], "VexCamZA01_02");
  wchar_t wide[10][256];
  std::memset(wide, 0x7F, sizeof(wide));
  ASSERT_EQ(VexCam_EnumDeviceW(h_, wide), 2);
  EXPECT_EQ(std::wstring(wide[1]), L"VexCamZA01_02");
  // The entries past the cameras found are cleared.
  for (int i = 2; i < 10; ++i) {
    EXPECT_STREQ(names[i], "");
    EXPECT_EQ(wide[i][0], L'\0');
  }

  char name[32];
  ASSERT_EQ(VexCam_GetDeviceName(h_, 2, name, sizeof(name)), 1);
  EXPECT_STREQ(name, "VexCamZA01_03");
  EXPECT_REFUSED(VexCam_GetDeviceName(h_, 1, name, sizeof(name)), VEXCAM_ERR_NOT_OPENED);
  EXPECT_REFUSED(VexCam_SetDeviceNumber(h_, 1), VEXCAM_ERR_NOT_OPENED);
  ASSERT_EQ(VexSim_Replug(second), 1);
  EXPECT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  EXPECT_EQ(VexCam_EnumDevice(h_, names), 3);
  ExpectCodes({});
}

TEST_F(Lifecycle, DeviceNameAndNumberRefuseBadSizesAndAbsentDevices) {
  VexSim_AddCamera(kZa01);
  h_ = VexCam_Initialize(nullptr);
  char name[64];
  EXPECT_REFUSED(VexCam_GetDeviceName(h_, 0, name, 13), VEXCAM_ERR_INVALID_ARG);
  EXPECT_REFUSED(VexCam_GetDeviceName(h_, 0, nullptr, 64), VEXCAM_ERR_INVALID_ARG);
  for (int index : {32, -1, 1})
    EXPECT_REFUSED(VexCam_GetDeviceName(h_, index, name, 64), VEXCAM_ERR_NOT_OPENED);
  ASSERT_EQ(VexCam_GetDeviceName(h_, 0, name, 14), 1);
  EXPECT_STREQ(name, "VexCamZA01_01");

  wchar_t wide[64];
  std::fill(std::begin(wide), std::end(wide), L'#');
  EXPECT_REFUSED(VexCam_GetDeviceNameW(h_, 0, wide, 13), VEXCAM_ERR_FILE_OR_TEXT);
  EXPECT_EQ(wide[0], L'#') << "nothing written when it does not fit";
  ASSERT_EQ(VexCam_GetDeviceNameW(h_, 0, wide, 14), 1);
  EXPECT_EQ(std::wstring(wide), L"VexCamZA01_01");
  EXPECT_REFUSED(VexCam_GetDeviceNameW(h_, 0, nullptr, 14), VEXCAM_ERR_INVALID_ARG);
  EXPECT_REFUSED(VexCam_GetDeviceNameW(h_, 40, wide, 64), VEXCAM_ERR_NOT_OPENED);
  EXPECT_REFUSED(VexCam_EnumDevice(h_, nullptr), VEXCAM_ERR_INVALID_ARG);
  EXPECT_REFUSED(VexCam_EnumDeviceW(h_, nullptr), VEXCAM_ERR_INVALID_ARG);
  for (int number : {-1, 1, 31, 32, 1000, INT32_MIN})
    EXPECT_REFUSED(VexCam_SetDeviceNumber(h_, number), VEXCAM_ERR_NOT_OPENED);
  EXPECT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  EXPECT_TRUE(CameraIsOpen(h_));
}

TEST_F(Lifecycle, SwitchingCamerasWaitsForCaptureToStop) {
  VexSim_AddCamera(kZa01);
  VexSim_AddCamera(kZa01);
  h_ = VexCam_Initialize(nullptr);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  if (!VexCam_Capture(h_)) GTEST_SKIP() << "capture mode not available in this build";
  EXPECT_REFUSED(VexCam_SetDeviceNumber(h_, 1), VEXCAM_ERR_NO_CAMERA);
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 640, 0, 640, 512, 0, 512), VEXCAM_ERR_NO_CAMERA);
  EXPECT_EQ(VexCam_Close(h_), 1);
  EXPECT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  ExpectCodes({});
}

TEST_F(Lifecycle, InvalidNotifyWindowStopsInitialisation) {
  VexSim_AddCamera(kZa01);
  h_ = VexCam_Initialize(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777123)));
  ASSERT_NE(h_, 0u) << "the handle is returned whatever the initialiser reports";
  EXPECT_FALSE(CameraIsOpen(h_));
  char names[10][256];
  EXPECT_EQ(VexCam_EnumDevice(h_, names), 0);
  EXPECT_EQ(VexCam_SetDeviceNumber(h_, 0), 0);
  EXPECT_EQ(VexCam_GetLastError(h_), VEXCAM_ERR_NOT_OPENED);
}

// Every notify window hears each change once; a released instance's window
// is no longer told, and the others' notifications go on.
TEST_F(Lifecycle, DeviceChangesArePostedToEveryNotifyWindowOnce) {
  HWND first = VexWin_CreateMessageWindow();
  HWND second = VexWin_CreateMessageWindow();
  const DWORD a = VexCam_Initialize(first);
  const DWORD b = VexCam_Initialize(second);
  const DWORD silent = VexCam_Initialize(nullptr);
  const UINT id = VexSim_AddCamera(kZa01);
  EXPECT_EQ(WaitDeviceChange(first, 3000), DBT_DEVICEARRIVAL);
  EXPECT_EQ(WaitDeviceChange(second, 3000), DBT_DEVICEARRIVAL);
  EXPECT_EQ(WaitDeviceChange(first, 1000), 0u);
  ASSERT_EQ(VexSim_Unplug(id), 1);
  EXPECT_EQ(WaitDeviceChange(first, 3000), DBT_DEVICEREMOVECOMPLETE);
  ASSERT_EQ(VexSim_Replug(id), 1);
  EXPECT_EQ(WaitDeviceChange(first, 3000), DBT_DEVICEARRIVAL);
  ASSERT_EQ(VexCam_Release(a), 1);
  while (WaitDeviceChange(first, 0) != 0) {}
  while (WaitDeviceChange(second, 0) != 0) {}
  VexSim_RemoveAll();
  EXPECT_EQ(WaitDeviceChange(second, 3000), DBT_DEVICEREMOVECOMPLETE);
  EXPECT_EQ(WaitDeviceChange(first, 1500), 0u);
  VexCam_Release(b);
  VexCam_Release(silent);
  VexWin_DestroyWindow(first);
  VexWin_DestroyWindow(second);
}

TEST_F(Lifecycle, ReleaseWhileCamerasComeAndGoIsClean) {
  // Many short-lived instances with windows start and stop the watcher.
  HWND window = VexWin_CreateMessageWindow();
  for (int i = 0; i < 20; ++i) {
    const DWORD h = VexCam_Initialize(window);
    if (i % 5 == 0) VexSim_AddCamera(kZa01);
    EXPECT_EQ(VexCam_Close(h), 1);
    EXPECT_EQ(VexCam_Release(h), 1);
  }
  VexWin_DestroyWindow(window);
}

}  // namespace
