#pragma once
// One simulated ZA01 camera opened by a fresh instance with neutral image
// settings and no preview window, a scratch folder for the files, and small
// readers for what the files hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/test_env.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam::test {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
// Little-endian 32-bit field at `at`.
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
  return v;
}
// True when the four bytes at `at` are the code `tag`.
inline bool Tag(const std::vector<uint8_t>& b, size_t at, const char* tag) {
  return at + 4 <= b.size() && std::memcmp(b.data() + at, tag, 4) == 0;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VexSim_RemoveAll();
    VexSim_SetSpeedUp(0, 50);
    dir_ = std::filesystem::path(ConfigHome()) / ("files-" + std::to_string(++counter_));
    std::filesystem::create_directories(dir_);
    camId_ = VexSim_AddCamera(0x3200);
    ASSERT_NE(camId_, 0u);
    handle_ = VexCam_Initialize(nullptr);
    ASSERT_NE(handle_, 0u);
    ASSERT_EQ(VexCam_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    VexCam_SetBrightness(handle_, 0);
    VexCam_SetContrast(handle_, 0);
    VexCam_SetGamma(handle_, 100);
    VexCam_SetSharpness(handle_, 0);
    VexCam_SetGrayMode(handle_, 0);
    VexCam_SetMirrorH(handle_, 0);
    VexCam_SetMirrorV(handle_, 0);
    VexCam_SetAutoIris(handle_, 0);
    Errors();
  }
  void TearDown() override {
    if (handle_ != 0) VexCam_Release(handle_);
    VexSim_RemoveAll();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // Pops the whole error stack, newest first.
  std::vector<DWORD> Errors() {
    std::vector<DWORD> codes;
    for (DWORD c; (c = VexCam_GetLastError(handle_)) != 0;) codes.push_back(c);
    return codes;
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }

  static inline int counter_ = 0;
  std::filesystem::path dir_;
  UINT camId_ = 0;
  DWORD handle_ = 0;
};

}  // namespace vexcam::test
