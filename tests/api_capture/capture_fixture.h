#pragma once
// One simulated ZA01 camera opened by a fresh instance, with a notify window
// and a callback window, and helpers to read the messages they receive.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/test_env.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam::test {

inline constexpr UINT kProduct = 0x3200;
inline constexpr int kFull = 640 * 512;

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VexSim_RemoveAll();
    VexSim_SetSpeedUp(0, 50);
    std::error_code ec;
    std::filesystem::remove(SettingsFile(), ec);  // settings of an earlier test in this process
    AddCamera();
    notify_ = VexWin_CreateMessageWindow();
    callback_ = VexWin_CreateMessageWindow();
    handle_ = VexCam_Initialize(notify_);
    ASSERT_NE(handle_, 0u);
    Neutral();
  }
  void TearDown() override {
    if (handle_ != 0) VexCam_Release(handle_);
    VexWin_DestroyWindow(callback_);
    VexWin_DestroyWindow(notify_);
    VexSim_RemoveAll();
  }
  virtual bool AddCamera() {
    camId_ = VexSim_AddCamera(kProduct);
    return camId_ != 0;
  }
  static std::filesystem::path SettingsFile() {
    return std::filesystem::path(ConfigHome()) / "Quorin" / "VexCamZA013K9Sdk.reg";
  }
  // Mono 8, no preview window, neutral image adjustments, no mirrors: frames
  // reach the application as the camera delivered them.
  void Neutral() {
    VexCam_SetColorMode(handle_, 8);  // needs an open camera
    ASSERT_EQ(VexCam_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    VexCam_SetBrightness(handle_, 0);
    VexCam_SetContrast(handle_, 0);
    VexCam_SetGamma(handle_, 100);
    VexCam_SetSharpness(handle_, 0);
    VexCam_SetGrayMode(handle_, 0);
    VexCam_SetMirrorH(handle_, 0);
    VexCam_SetMirrorV(handle_, 0);
    VexCam_SetAutoIris(handle_, 0);
    while (VexCam_GetLastError(handle_) != 0) {
    }
    DrainAll();
  }
  void DrainAll() {
    VEXWIN_MSG m{};
    while (VexWin_PeekMessage(notify_, &m, TRUE)) {
    }
    while (VexWin_PeekMessage(callback_, &m, TRUE)) {
    }
  }
  // Pops the whole error stack, newest first.
  std::vector<DWORD> Errors() {
    std::vector<DWORD> codes;
    for (DWORD c; (c = VexCam_GetLastError(handle_)) != 0;) codes.push_back(c);
    return codes;
  }
  // The next frame message on the callback window within timeoutMs.
  bool NextFrame(VEXWIN_MSG* m, DWORD timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (VexWin_GetMessage(callback_, m, 100) && m->message == VEXCAM_MSG_FRAME) return true;
    }
    return false;
  }

  UINT camId_ = 0;
  HWND notify_ = nullptr;
  HWND callback_ = nullptr;
  DWORD handle_ = 0;
};

}  // namespace vexcam::test
