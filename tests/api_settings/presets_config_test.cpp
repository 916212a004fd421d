// Capture-window presets of the product key and configuration files.
#include <array>

#include "settings_fixture.h"

namespace settings_test {
namespace {

// The window as VexCam_GetCaptureWindowEx gives it: total width, x, width,
// total height, y, height.
using Window = std::array<int, 6>;
Window GetWindow(DWORD h) {
  Window w{-1, -1, -1, -1, -1, -1};
  EXPECT_EQ(VexCam_GetCaptureWindowEx(h, &w[0], &w[1], &w[2], &w[3], &w[4], &w[5]), 1);
  return w;
}
constexpr Window kFull = {640, 0, 640, 512, 0, 512};

using PresetTest = SettingsTest;

// The product preset of the size asked for; refused with 1 while a capture
// is prepared, and with 7 by a camera that refuses the area (here: unplugged,
// so its window registers cannot be written), where the values stay.
TEST_F(PresetTest, SelectsThePresetOfTheRequestedSizeUnlessRefused) {
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)}, {"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_Capture(h_), 1);
  EXPECT_REFUSED(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  EXPECT_EQ(GetWindow(h_), kFull);
  ASSERT_EQ(VexCam_Close(h_), 1);
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  EXPECT_EQ(GetWindow(h_), (Window{640, 160, 320, 512, 136, 240}));
  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 640, 512), 1);
  EXPECT_EQ(GetWindow(h_), kFull);

  ASSERT_EQ(VexCam_SetCaptureWindow(h_, 320, 240), 1);
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 640, 0, 640, 512, 0, 512), 7);
  EXPECT_EQ(GetWindow(h_), kFull);
  EXPECT_REFUSED(VexCam_SetCaptureWindow(h_, 640, 512), 7);
  EXPECT_EQ(GetWindow(h_), kFull);
}

// Code 4 and the window kept: no product presets on a first run, a missing
// first preset, no preset of the size, or one that does not fit the sensor.
TEST_F(PresetTest, MissingNoMatchingOrUnusablePresetFailsWithCode4) {
  ASSERT_NE(Start(), 0u);
  EXPECT_REFUSED(VexCam_SetCaptureWindow(h_, 640, 512), 4);
  Release();
  WriteReg({{"Size_01", Preset(320, 240, 160, 136)}});
  ASSERT_NE(Init(), 0u);
  EXPECT_REFUSED(VexCam_SetCaptureWindow(h_, 320, 240), 4);
  EXPECT_EQ(GetWindow(h_), kFull);
  Release();
  WriteReg({{"Size_00", Preset(640, 512, 0, 0)},
            {"Size_01", Preset(320, 240, 400, 0)},
            {"Size_02", Preset(0, 0, 0, 0)}});
  ASSERT_NE(Init(), 0u);
  for (auto [w, h] : {std::pair{100, 100}, {320, 240}, {0, 0}, {-1, -1}})
    EXPECT_REFUSED(VexCam_SetCaptureWindow(h_, w, h), 4);
}

TEST_F(PresetTest, CameraPresetSelectedBySizeIsLoadedAtInitialisation) {
  WriteReg({{"Camera_00", {{"Size", 1}, {"Color", 2}}},
            {"Camera_00\\Size_00", Preset(640, 512, 0, 0)},
            {"Camera_00\\Size_01", Preset(160, 120, 240, 196)}});
  ASSERT_NE(Start(), 0u);
  EXPECT_EQ(GetWindow(h_), (Window{640, 240, 160, 512, 196, 120}));
}

using ConfigFileTest = SettingsTest;

TEST_F(ConfigFileTest, LoadsFilesOfAnyLengthAndIgnoresMissingOnes) {
  ASSERT_NE(Start(), 0u);
  // Files of twenty, seven and no bytes.
  for (const std::vector<uint8_t>& bytes :
       {std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9, 9},
        std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}, std::vector<uint8_t>{}}) {
    WriteFile(Path("list.cfg"), bytes);
    EXPECT_EQ(VexCam_LoadConfigFileA(h_, Path("list.cfg").c_str()), 1) << bytes.size();
  }
  EXPECT_TRUE(Codes().empty());

  // Missing file, a folder, an empty name: 0 and nothing recorded; a missing
  // name is an invalid argument.
  EXPECT_REFUSED(VexCam_LoadConfigFileA(h_, Path("missing.cfg").c_str()));
  EXPECT_REFUSED(VexCam_LoadConfigFileA(h_, vexcam::test::ConfigHome().c_str()));
  EXPECT_REFUSED(VexCam_LoadConfigFileA(h_, ""));
  EXPECT_REFUSED(VexCam_LoadConfigFileA(h_, nullptr), 9);
}

TEST_F(ConfigFileTest, WideNamesAreConvertedOrRefusedWithCode12) {
  ASSERT_NE(Start(), 0u);
  const std::string path = Path("wide.cfg");
  WriteFile(path, {1, 0, 0, 0, 2, 0, 0, 0});
  const std::wstring wide(path.begin(), path.end());
  EXPECT_EQ(VexCam_LoadConfigFileW(h_, wide.c_str()), 1);
  EXPECT_TRUE(Codes().empty());

  // (Names too long to convert are SaveImage.RefusalsAndWriterFailures', on
  // the conversion every wide file name goes through.)
  const wchar_t unpaired[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_REFUSED(VexCam_LoadConfigFileW(h_, unpaired), 12);
  EXPECT_REFUSED(VexCam_LoadConfigFileW(h_, nullptr), 9);
}

}  // namespace
}  // namespace settings_test
