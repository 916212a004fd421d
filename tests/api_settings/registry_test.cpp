// Per-camera settings in the settings store: first run, loading rules, and
// saving on release and device switch.
#include "settings_fixture.h"

namespace settings_test {
namespace {

using RegistryTest = SettingsTest;

TEST_F(RegistryTest, FirstRunWritesCameraKeyWithBuiltInValues) {
  ASSERT_NE(Start(), 0u);
  for (const auto& [name, value] : Preset(640, 512, 0, 0))
    EXPECT_EQ(Dword("Camera_00\\Size_00", name), value) << name;
  const Values camera = {
      {"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 1}, {"Clock", 0}};
  for (const auto& [name, value] : camera) EXPECT_EQ(Dword("Camera_00", name), value) << name;
  // Nothing else is written before the instance goes away.
  EXPECT_FALSE(HasKey("Camera_00\\Gain"));
  EXPECT_FALSE(HasKey("Size_00"));
  EXPECT_EQ(VexCam_GetColorMode(h_), 24);
  EXPECT_EQ(VexCam_GetWaitTime(h_), 1) << "the stored wait time is the loop's";
}

// Every value of the "Filter" and "Gray" groups with a value of its own.
struct GroupValue {
  const char* key;
  const char* name;
  int id;
  int value;
};
const GroupValue kGroupValues[] = {
    {"Camera_00\\Filter", "Brightness", 1, -33}, {"Camera_00\\Filter", "Contrast", 2, -20},
    {"Camera_00\\Filter", "Hue", 3, 45},         {"Camera_00\\Filter", "Saturation", 4, -100},
    {"Camera_00\\Filter", "Sharpness", 5, 7},    {"Camera_00\\Filter", "R_Gain", 7, 110},
    {"Camera_00\\Filter", "G_Gain", 8, 120},     {"Camera_00\\Filter", "B_Gain", 9, 130},
    {"Camera_00\\Filter", "Gamma", 11, 150},     {"Camera_00\\Filter", "BayerMode", 12, 3},
    {"Camera_00\\Gray", "Mode", 19, 1},          {"Camera_00\\Gray", "GainR1", 20, 11},
    {"Camera_00\\Gray", "GainG1", 21, 12},       {"Camera_00\\Gray", "GainG2", 22, 13},
    {"Camera_00\\Gray", "GainB1", 23, 14},       {"Camera_00\\Gray", "OffsetR1", 24, -5},
    {"Camera_00\\Gray", "OffsetG1", 25, -6},     {"Camera_00\\Gray", "OffsetG2", 26, -7},
    {"Camera_00\\Gray", "OffsetB1", 27, -8},
};

// The value names of a key in the order the settings file holds them.
std::vector<std::string> NamesInFileOrder(const std::string& key) {
  std::vector<std::string> names;
  auto keys = ReadReg();
  for (const auto& entry : keys[key]) names.push_back(entry.first);
  return names;
}

TEST_F(RegistryTest, ReleaseSavesEveryGroupValueAndANewInstanceReadsItBack) {
  ASSERT_NE(Start(), 0u);
  for (const GroupValue& v : kGroupValues) ASSERT_EQ(VexCam_SetFilterValue(h_, v.id, v.value), 1);
  const VEXCAM_CAMERA_INFO info = Info();
  // The global gain is stored as every colour gain too; red then differs.
  const int red = info.colorGainMin;
  const int global = info.globalGainMax;
  ASSERT_EQ(VexCam_SetGlobalGain(h_, global), 1);
  ASSERT_EQ(VexCam_SetColorGainRed(h_, red), 1);
  ASSERT_EQ(VexCam_SetExposureTime(h_, info.exposureTimeMax), 1);
  Release();

  for (const GroupValue& v : kGroupValues)
    EXPECT_EQ(Dword(v.key, v.name), static_cast<uint32_t>(v.value)) << v.name;
  // Within a key the values stay in the order of the table above.
  for (const std::string key : {"Camera_00\\Filter", "Camera_00\\Gray"}) {
    std::vector<std::string> names;
    for (const GroupValue& v : kGroupValues) {
      if (v.key == key) names.push_back(v.name);
    }
    EXPECT_EQ(NamesInFileOrder(key), names);
  }
  EXPECT_EQ(NamesInFileOrder("Camera_00\\Gain"),
            (std::vector<std::string>{"Global", "ColorG1", "ColorR", "ColorB", "ColorG2",
                                      "Exposure", "V_Mirror", "H_Mirror", "AutoIris", "GainMode",
                                      "BlackLevel", "ExposureEx"}));
  EXPECT_EQ(Dword("Camera_00\\Gain", "Global"), static_cast<uint32_t>(global));
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorR"), static_cast<uint32_t>(red));
  for (const char* name : {"ColorG1", "ColorB", "ColorG2"})
    EXPECT_EQ(Dword("Camera_00\\Gain", name), static_cast<uint32_t>(global)) << name;
  EXPECT_EQ(Dword("Camera_00\\Gain", "Exposure"), static_cast<uint32_t>(info.exposureTimeMax));

  h_ = VexCam_Initialize(nullptr);
  ASSERT_NE(h_, 0u);
  for (const GroupValue& v : kGroupValues)
    EXPECT_EQ(VexCam_GetFilterValue(h_, v.id, nullptr), v.value) << v.name;
}

TEST_F(RegistryTest, MissingGainValueTakesTheValueReadBeforeIt) {
  // "ColorR" is missing: red gets green 1's value.
  const Values gain = {{"Global", 3},     {"ColorG1", 5},   {"ColorB", 6},   {"ColorG2", 7},
                       {"Exposure", 100}, {"V_Mirror", 1},  {"H_Mirror", 0}, {"AutoIris", 0},
                       {"GainMode", 0},   {"BlackLevel", 0}};
  WriteReg({{"Camera_00", {{"Size", 0}}}, {"Camera_00\\Gain", gain}});
  ASSERT_NE(Start(), 0u);
  Release();
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorG1"), 5u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorR"), 5u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "ColorB"), 6u);
  EXPECT_EQ(Dword("Camera_00\\Gain", "V_Mirror"), 1u);
  // A missing "ExposureEx", the only binary value, is stored as the double 0.0.
  EXPECT_EQ(Text("Camera_00\\Gain", "ExposureEx"), "hex:00,00,00,00,00,00,00,00");
}

TEST_F(RegistryTest, FilterKeyWithOnlyGammaKeepsTheOtherSettings) {
  // Camera 0 sets every filter value; camera 1 stores gamma only.
  Values filter;
  for (const GroupValue& v : kGroupValues) {
    if (std::string(v.key).ends_with("Filter")) filter.emplace_back(v.name, v.value);
  }
  WriteReg({{"Camera_00", {{"Size", 0}}},
            {"Camera_00\\Filter", filter},
            {"Camera_01\\Filter", {{"Gamma", 90}}}});
  ASSERT_NE(Start(2), 0u);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 150);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 1), 1);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 90);
  for (const GroupValue& v : kGroupValues) {
    if (std::string(v.key).ends_with("Filter") && std::string(v.name) != "Gamma") {
      EXPECT_EQ(VexCam_GetFilterValue(h_, v.id, nullptr), v.value) << v.name;
    }
  }
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
