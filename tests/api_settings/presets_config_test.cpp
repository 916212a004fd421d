// Capture-window presets of the product key and configuration files.
#include <cwchar>

#include "settings_fixture.h"

namespace settings_test {
namespace {

Values Preset(uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
  return {{"TH", 640}, {"TV", 512}, {"EH", width}, {"EV", height},
          {"EHS", x},  {"EVS", y},  {"Buf", 4}};
}

struct Window {
  int totalWidth = -1, x = -1, width = -1, totalHeight = -1, y = -1, height = -1;
};

Window GetWindow(DWORD h) {
  Window w;
  EXPECT_EQ(
      VexCam_GetCaptureWindowEx(h, &w.totalWidth, &w.x, &w.width, &w.totalHeight, &w.y, &w.height),
      1);
  return w;
}

using PresetTest = SettingsTest;

TEST_F(PresetTest, SelectsThePresetOfTheRequestedSize) {
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)}, {"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  Window w = GetWindow(h_);
  EXPECT_EQ(w.width, 320);
  EXPECT_EQ(w.height, 240);
  EXPECT_EQ(w.x, 160);
  EXPECT_EQ(w.y, 136);
  EXPECT_EQ(w.totalWidth, 640);
  EXPECT_EQ(w.totalHeight, 512);
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 640, 512), 1);
  w = GetWindow(h_);
  EXPECT_EQ(w.width, 640);
  EXPECT_EQ(w.x, 0);
  EXPECT_TRUE(Codes().empty());
}

// A camera that refuses the area (here: unplugged, so its window registers
// cannot be written) fails both window setters with 7; the values stay.
TEST_F(PresetTest, WindowRefusedByTheCameraFailsWithCode7) {
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)}, {"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  EXPECT_EQ(VexCam_SetCaptureWindowEx(h_, 640, 0, 640, 512, 0, 512), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{7});
  EXPECT_EQ(GetWindow(h_).width, 640);
  EXPECT_EQ(VexCam_SetCaptureWindow(h_, 640, 512), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{7});
  EXPECT_EQ(GetWindow(h_).width, 640);
}

// Code 4 and the window kept: no product presets on a first run, a missing
// first preset, no preset of the size, or one that does not fit the sensor.
TEST_F(PresetTest, MissingNoMatchingOrUnusablePresetFailsWithCode4) {
  ASSERT_NE(Start(), 0u);
  EXPECT_EQ(VexCam_SetCaptureWindow(h_, 640, 512), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{4});
  Release();
  WriteReg({{"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Init(), 0u);
  EXPECT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{4});
  EXPECT_EQ(GetWindow(h_).width, 640);
  Release();
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)},
            {"Size_01", Preset(320, 240, 400, 0)},
            {"Size_02", Preset(0, 0, 0, 0)}});
  ASSERT_NE(Init(), 0u);
  for (auto [w, h] : {std::pair{100, 100}, {320, 240}, {0, 0}, {-1, -1}}) {
    EXPECT_EQ(VexCam_SetCaptureWindow(h_, w, h), 0) << w << "x" << h;
    EXPECT_EQ(Codes(), std::vector<DWORD>{4}) << w << "x" << h;
  }
}

TEST_F(PresetTest, RefusedWhileACaptureIsPrepared) {
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)}, {"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_Capture(h_), 1);
  EXPECT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{1});
  EXPECT_EQ(GetWindow(h_).width, 640);
  ASSERT_EQ(VexCam_Close(h_), 1);
  EXPECT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  EXPECT_EQ(GetWindow(h_).width, 320);
}

TEST_F(PresetTest, CameraPresetSelectedBySizeIsLoadedAtInitialisation) {
  WriteReg({{"Camera_00", {{"Size", 1}, {"Color", 2}}},
            {"Camera_00\\Size_00", Preset(640, 512, 0, 0)},
            {"Camera_00\\Size_01", Preset(160, 120, 240, 196)}});
  ASSERT_NE(Start(), 0u);
  const Window w = GetWindow(h_);
  EXPECT_EQ(w.width, 160);
  EXPECT_EQ(w.height, 120);
  EXPECT_EQ(w.x, 240);
  EXPECT_EQ(w.y, 196);
}

using ConfigFileTest = SettingsTest;

TEST_F(ConfigFileTest, LoadsFilesOfAnyLengthAndIgnoresMissingOnes) {
  ASSERT_NE(Start(), 0u);
  const std::string twenty = TempFile("twenty.cfg");
  WriteFile(twenty, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9, 9});
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, twenty.c_str()), 1);
  const std::string seven = TempFile("seven.cfg");
  WriteFile(seven, {1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, seven.c_str()), 1);
  const std::string empty = TempFile("empty.cfg");
  WriteFile(empty, {});
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, empty.c_str()), 1);
  EXPECT_TRUE(Codes().empty());

  // Missing file, a folder, an empty name: 0 and nothing recorded.
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, TempFile("missing.cfg").c_str()), 0);
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, vexcam::test::ConfigHome().c_str()), 0);
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, ""), 0);
  EXPECT_TRUE(Codes().empty());
  // A missing name is an invalid argument.
  EXPECT_EQ(VexCam_LoadConfigFileA(h_, nullptr), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{9});
}

TEST_F(ConfigFileTest, WideNamesAreConvertedOrRefusedWithCode12) {
  ASSERT_NE(Start(), 0u);
  const std::string path = TempFile("wide.cfg");
  WriteFile(path, {1, 0, 0, 0, 2, 0, 0, 0});
  const std::wstring wide(path.begin(), path.end());
  EXPECT_EQ(VexCam_LoadConfigFileW(h_, wide.c_str()), 1);
  EXPECT_TRUE(Codes().empty());

  const wchar_t unpaired[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ(VexCam_LoadConfigFileW(h_, unpaired), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{12});
  const std::wstring tooLong(1100, L'a');
  EXPECT_EQ(VexCam_LoadConfigFileW(h_, tooLong.c_str()), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{12});
  EXPECT_EQ(VexCam_LoadConfigFileW(h_, nullptr), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{9});
}

}  // namespace
}  // namespace settings_test
