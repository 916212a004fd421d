// Per-camera settings in the settings store: first run, loading rules, and
// saving on release and device switch.
#include "settings_fixture.h"

namespace settings_test {
namespace {

using RegistryTest = SettingsTest;

TEST_F(RegistryTest, FirstRunWritesCameraKeyWithBuiltInValues) {
  ASSERT_NE(Start(), 0u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "TH"), 640u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "TV"), 512u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "EH"), 640u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "EV"), 512u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "EHS"), 0u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "EVS"), 0u);
  EXPECT_EQ(Dword("Camera_00\\Size_00", "Buf"), 4u);
  EXPECT_EQ(Dword("Camera_00", "Size"), 0u);
  EXPECT_EQ(Dword("Camera_00", "Color"), 2u);
  EXPECT_EQ(Dword("Camera_00", "SubSample"), 0u);
  EXPECT_EQ(Dword("Camera_00", "WaitTime"), 1u);
  EXPECT_EQ(Dword("Camera_00", "Clock"), 0u);
  // Nothing else is written before the instance goes away.
  EXPECT_FALSE(HasKey("Camera_00\\Gain"));
  EXPECT_FALSE(HasKey("Size_00"));
  EXPECT_EQ(VexCam_GetColorMode(h_), 24);
  EXPECT_EQ(VexCam_GetWaitTime(h_), 1) << "the stored wait time is the loop's";
}

TEST_F(RegistryTest, ReleaseSavesGroupsAndANewInstanceReadsThemBack) {
  ASSERT_NE(Start(), 0u);
  ASSERT_EQ(VexCam_SetBrightness(h_, -33), 1);
  ASSERT_EQ(VexCam_SetGamma(h_, 150), 1);
  ASSERT_EQ(VexCam_SetGrayMode(h_, 1), 1);
  ASSERT_EQ(VexCam_SetGrayOffsetB(h_, -7), 1);
  ASSERT_EQ(VexCam_SetBayerMode(h_, 3), 1);
  Release();

  EXPECT_EQ(Dword("Camera_00\\Filter", "Brightness"), static_cast<uint32_t>(-33));
  EXPECT_EQ(Dword("Camera_00\\Filter", "Gamma"), 150u);
  EXPECT_EQ(Dword("Camera_00\\Filter", "R_Gain"), 100u);
  EXPECT_EQ(Dword("Camera_00\\Gray", "Mode"), 1u);
  EXPECT_EQ(Dword("Camera_00\\Gray", "OffsetB1"), static_cast<uint32_t>(-7));
  EXPECT_EQ(Dword("Camera_00\\Gray", "GainR1"), 128u);
  // "ExposureEx" is the only binary value: an 8-byte double.
  const auto gain = ReadReg()["Camera_00\\Gain"];
  ASSERT_TRUE(gain.count("ExposureEx"));
  EXPECT_EQ(gain.at("ExposureEx").rfind("hex:", 0), 0u);
  EXPECT_EQ(gain.at("ExposureEx").size(), std::string("hex:00,00,00,00,00,00,00,00").size());
  for (const char* name : {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure",
                           "V_Mirror", "H_Mirror", "AutoIris", "GainMode", "BlackLevel"})
    EXPECT_TRUE(Dword("Camera_00\\Gain", name).has_value()) << name;

  h_ = VexCam_Initialize(nullptr);
  ASSERT_NE(h_, 0u);
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), -33);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 150);
  EXPECT_EQ(VexCam_GetGrayMode(h_, nullptr), 1);
  EXPECT_EQ(VexCam_GetGrayOffsetB(h_, nullptr), -7);
  EXPECT_EQ(VexCam_GetBayerMode(h_, nullptr), 3);
}

TEST_F(RegistryTest, MissingGainValueTakesTheValueReadBeforeIt) {
  // "ColorR" is missing: red gets green 1's value.
  WriteReg({{"Camera_00", {{"Size", 0}}},
            {"Camera_00\\Gain",
             {{"Global", 3},
              {"ColorG1", 5},
              {"ColorB", 6},
              {"ColorG2", 7},
              {"Exposure", 100},
              {"V_Mirror", 1},
              {"H_Mirror", 0},
              {"AutoIris", 0},
              {"GainMode", 0},
              {"BlackLevel", 0}}}});
  ASSERT_NE(Start(), 0u);
  Release();
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorG1"), 5u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorR"), 5u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorB"), 6u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "V_Mirror"), 1u);
  // A missing "ExposureEx" is stored as 0.0.
  EXPECT_EQ(ReadReg()["Camera_00\\Gain"]["ExposureEx"], "hex:00,00,00,00,00,00,00,00");
}

TEST_F(RegistryTest, FilterKeyWithOnlyGammaKeepsTheOtherSettings) {
  // Camera 0 sets every filter value; camera 1 stores gamma only.
  WriteReg({{"Camera_00", {{"Size", 0}}},
            {"Camera_00\\Filter",
             {{"Brightness", 10},
              {"Contrast", 20},
              {"Hue", 30},
              {"Saturation", 40},
              {"Sharpness", 5},
              {"R_Gain", 110},
              {"G_Gain", 120},
              {"B_Gain", 130},
              {"Gamma", 90},
              {"BayerMode", 2}}},
            {"Camera_01\\Filter", {{"Gamma", 150}}}});
  ASSERT_NE(Start(2), 0u);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), 10);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 90);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 150);
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), 10);
  EXPECT_EQ(VexCam_GetContrast(h_, nullptr), 20);
  EXPECT_EQ(VexCam_GetBayerGainBlue(h_, nullptr), 130);
  EXPECT_EQ(VexCam_GetBayerMode(h_, nullptr), 2);
}

TEST_F(RegistryTest, DeviceSwitchSavesOldSettingsAndMissingGroupsTakeDefaults) {
  WriteReg({{"Camera_00", {{"Size", 0}}}});
  ASSERT_NE(Start(2), 0u);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  ASSERT_EQ(VexCam_SetBrightness(h_, 50), 1);
  ASSERT_EQ(VexCam_SetGrayGainR(h_, 200), 1);
  // Camera 1 has no stored groups: its settings are the defaults.
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  EXPECT_EQ(Dword("Camera_00\\Filter", "Brightness"), 50u);
  EXPECT_EQ(Dword("Camera_00\\Gray", "GainR1"), 200u);
  EXPECT_TRUE(HasKey("Camera_00\\Gain"));
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), 0);
  EXPECT_EQ(VexCam_GetGrayGainR(h_, nullptr), 128);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 100);
  // Back on camera 0 its values return.
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), 50);
  EXPECT_EQ(VexCam_GetGrayGainR(h_, nullptr), 200);
}

TEST_F(RegistryTest, StoredValuesOutOfRangeOrOfWrongTypeAreIgnored) {
  WriteReg({{"Camera_00", {{"Color", 9}, {"SubSample", 17}}},
            {"Camera_00\\Filter", {{"Brightness", 1000}, {"Gamma", 120}}},
            {"Camera_00\\Gray", {{"Mode", 7}, {"GainG1", 90}}}});
  {
    // A text value where a number belongs counts as missing.
    std::ofstream out(RegPath(), std::ios::app);
    out << "[" << kProduct << "\\Camera_00\\Filter]\n\"Contrast\"=\"12\"\n\n";
  }
  ASSERT_NE(Start(), 0u);
  EXPECT_EQ(VexCam_GetColorMode(h_), 8) << "the built-in Mono 8 stays";
  EXPECT_EQ(VexCam_GetSubSample(h_), 17) << "stored codes are kept as they are";
  EXPECT_EQ(VexCam_GetBrightness(h_, nullptr), 0);
  EXPECT_EQ(VexCam_GetContrast(h_, nullptr), 0);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 120);
  EXPECT_EQ(VexCam_GetGrayMode(h_, nullptr), 0);
  EXPECT_EQ(VexCam_GetGrayGainG1(h_, nullptr), 90);
}

}  // namespace
}  // namespace settings_test
