#pragma once
// Shared fixtures of the C API suites: simulated ZA01 cameras, one instance,
// optional notify and callback windows, a scratch folder, and readers for the
// error stack, the posted messages and the files the SDK writes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam::test {

inline constexpr UINT kZa01 = 0x3200;
inline constexpr int kFull = 640 * 512;

inline std::filesystem::path SettingsPath() {
  return std::filesystem::path(ConfigHome()) / "Quorin" / "VexCamZA013K9Sdk.reg";
}
inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
// Little-endian 32-bit field at `at` (0 beyond the end).
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
  return v;
}

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VexSim_RemoveAll();
    VexSim_SetSpeedUp(0, 1000);
    std::error_code ec;
    std::filesystem::remove(SettingsPath(), ec);
    dir_ = std::filesystem::path(ConfigHome()) / ("scratch-" + std::to_string(++counter_));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (h_ != 0) VexCam_Release(h_);
    if (callback_ != nullptr) VexWin_DestroyWindow(callback_);
    if (notify_ != nullptr) VexWin_DestroyWindow(notify_);
    VexSim_RemoveAll();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // Adds `cameras` simulated ZA01s; sim_ is the first.
  void AddCameras(int cameras = 1) {
    for (int i = 0; i < cameras; ++i) {
      const UINT id = VexSim_AddCamera(kZa01);
      ASSERT_NE(id, 0u);
      if (i == 0) sim_ = id;
    }
  }
  void MakeWindows() {
    notify_ = VexWin_CreateMessageWindow();
    callback_ = VexWin_CreateMessageWindow();
  }
  // A new instance posting to notify_; a single camera is opened as device 0.
  DWORD Init() { return h_ = VexCam_Initialize(notify_); }
  void Release() {
    ASSERT_EQ(VexCam_Release(h_), 1);
    h_ = 0;
  }
  // No preview window, neutral adjustments, no mirrors (and mono 8 when asked):
  // frames reach the application as the camera delivered them.
  void Neutral(bool mono8 = true) {
    if (mono8) VexCam_SetColorMode(h_, 8);
    ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
    VexCam_SetBrightness(h_, 0);
    VexCam_SetContrast(h_, 0);
    VexCam_SetGamma(h_, 100);
    VexCam_SetSharpness(h_, 0);
    VexCam_SetGrayMode(h_, 0);
    VexCam_SetMirrorH(h_, 0);
    VexCam_SetMirrorV(h_, 0);
    VexCam_SetAutoIris(h_, 0);
    Codes();
    DrainAll();
  }
  // Pops the whole error stack, newest first.
  std::vector<DWORD> Codes() {
    std::vector<DWORD> codes;
    for (DWORD c; (c = VexCam_GetLastError(h_)) != 0;) codes.push_back(c);
    return codes;
  }
  // Pops one code per entry (a pushed 0 included), then expects the stack empty.
  void ExpectCodes(std::initializer_list<DWORD> codes) {
    for (DWORD code : codes) EXPECT_EQ(VexCam_GetLastError(h_), code);
    EXPECT_EQ(VexCam_GetLastError(h_), 0u) << "more codes than expected";
  }
  VEXCAM_CAMERA_INFO Info() {
    VEXCAM_CAMERA_INFO info{};
    info.size = sizeof(info);
    EXPECT_EQ(VexCam_GetCameraInfo(h_, &info), 1);
    return info;
  }
  // Error messages posted to the notify window, oldest first.
  std::vector<LPARAM> Posted() {
    std::vector<LPARAM> codes;
    VEXWIN_MSG m{};
    while (notify_ != nullptr && VexWin_PeekMessage(notify_, &m, TRUE)) {
      if (m.message == VEXCAM_MSG_ERROR) codes.push_back(m.lParam);
    }
    return codes;
  }
  void DrainAll() {
    VEXWIN_MSG m{};
    while (notify_ != nullptr && VexWin_PeekMessage(notify_, &m, TRUE)) {}
    while (callback_ != nullptr && VexWin_PeekMessage(callback_, &m, TRUE)) {}
  }
  // The next frame message on the callback window within timeoutMs.
  bool NextFrame(VEXWIN_MSG* m, DWORD timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (VexWin_GetMessage(callback_, m, 100) && m->message == VEXCAM_MSG_FRAME) return true;
    }
    return false;
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  static inline int counter_ = 0;
  std::filesystem::path dir_;
  UINT sim_ = 0;
  HWND notify_ = nullptr;
  HWND callback_ = nullptr;
  DWORD h_ = 0;
};

// One simulated camera of product_ (none for 0) and a fresh instance posting
// to a notify window, with a callback window and an empty error stack.
class CameraTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    VexSim_SetSpeedUp(0, speedUp_);
    if (product_ != 0) {
      sim_ = VexSim_AddCamera(product_);
      ASSERT_NE(sim_, 0u);
    }
    MakeWindows();
    ASSERT_NE(Init(), 0u);
    ASSERT_TRUE(Codes().empty());
    DrainAll();
  }
  UINT product_ = kZa01;
  int speedUp_ = 1000;
};

}  // namespace vexcam::test

// In an ApiTest: the call gives 0 and leaves exactly the codes listed (none
// for a refusal without a code).
#define EXPECT_REFUSED(call, ...) \
  do {                            \
    SCOPED_TRACE(#call);          \
    EXPECT_EQ((call), 0);         \
    ExpectCodes({__VA_ARGS__});   \
  } while (0)
