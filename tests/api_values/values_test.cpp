// Values, exposure, temperature, registers and camera information through
// the C API, against a simulated ZA01 opened by initialisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "common/api_fixture.h"

namespace {

using Values = vexcam::test::CameraTest;

// Every value stored for the pipeline: its default on a first run, both
// range ends accepted and read back, one beyond either end refused with 9
// and not stored.
struct StoredValue {
  int id;
  int initial;
  int minimum;
  int maximum;
};

TEST_F(Values, StoredValuesStartAtTheirDefaultAndKeepTheirRange) {
  const StoredValue values[] = {{1, 0, -255, 255},    {2, 0, -127, 127},    {3, 0, -360, 360},
                                {4, 0, -255, 255},    {5, 0, 0, 30},        {7, 100, 0, 400},
                                {8, 100, 0, 400},     {9, 100, 0, 400},     {11, 100, 0, 200},
                                {12, 0, 0, 3},        {19, 0, 0, 2},        {20, 128, 0, 255},
                                {21, 128, 0, 255},    {22, 128, 0, 255},    {23, 128, 0, 255},
                                {24, 128, -255, 255}, {25, 128, -255, 255}, {26, 128, -255, 255},
                                {27, 128, -255, 255}, {102, 0, 0, 1},       {103, 0, 0, 1}};
  for (const StoredValue& v : values) {
    SCOPED_TRACE(v.id);
    int ok = 0;
    EXPECT_EQ(VexCam_GetFilterValue(h_, v.id, &ok), v.initial);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(VexCam_SetFilterValue(h_, v.id, v.minimum), 1);
    EXPECT_EQ(VexCam_GetFilterValue(h_, v.id, &ok), v.minimum);
    EXPECT_EQ(VexCam_SetFilterValue(h_, v.id, v.maximum), 1);
    EXPECT_REFUSED(VexCam_SetFilterValue(h_, v.id, v.minimum - 1), VEXCAM_ERR_INVALID_ARG);
    EXPECT_REFUSED(VexCam_SetFilterValue(h_, v.id, v.maximum + 1), VEXCAM_ERR_INVALID_ARG);
    EXPECT_EQ(VexCam_GetFilterValue(h_, v.id, &ok), v.maximum) << "refused values are not stored";
  }
}

TEST_F(Values, NamedAliasesReachTheirIdsAndRgbGainsPackTheLowBytes) {
  // (Brightness's alias is RegistryTest.DeviceSwitchSavesOldSettingsAndMissingGroupsTakeDefaults'.)
  int ok = 0;
  EXPECT_EQ(VexCam_SetGrayOffsetG2(h_, -9), 1);
  EXPECT_EQ(VexCam_GetFilterValue(h_, 26, &ok), -9);
  EXPECT_EQ(VexCam_SetFilterValue(h_, 22, 77), 1);
  EXPECT_EQ(VexCam_GetGrayGainG2(h_, &ok), 77);
  EXPECT_EQ(VexCam_SetBayerGainAuto(h_, 5), 1);
  EXPECT_EQ(VexCam_GetBayerGainAuto(h_, &ok), 1);
  EXPECT_EQ(VexCam_SetDotFilter(h_, 1), 1);
  EXPECT_EQ(VexCam_GetDotFilter(h_, &ok), 1);
  ExpectCodes({});
  // The packed Bayer gains are the low bytes of red, green and blue.
  ASSERT_EQ(VexCam_SetBayerGainRGB(h_, 0x7F332211), 1);
  EXPECT_EQ(VexCam_GetBayerGainRed(h_, &ok), 0x11);
  EXPECT_EQ(VexCam_GetBayerGainGreen(h_, &ok), 0x22);
  EXPECT_EQ(VexCam_GetBayerGainBlue(h_, &ok), 0x33);
  ASSERT_EQ(VexCam_SetBayerGainRed(h_, 400), 1);
  EXPECT_EQ(VexCam_GetBayerGainRGB(h_, &ok), (400 & 0xFF) | 0x332200);
}

TEST_F(Values, RefusedIdsAndChannels) {
  int ok = 1;
  EXPECT_REFUSED(VexCam_GetFilterValue(h_, 28, &ok), VEXCAM_ERR_INVALID_ARG);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(VexCam_SetFilterValue(h_, 28, 1), 1);
  EXPECT_REFUSED(VexCam_SetFilterValue(h_, 28, 2), VEXCAM_ERR_INVALID_ARG);

  for (int id : {INT_MIN, -1, 0, 18 + 100, 29, 32, 33, 36, 37, 99, 101, 107, INT_MAX}) {
    SCOPED_TRACE(id);
    ok = 1;
    EXPECT_EQ(VexCam_SetFilterValue(h_, id, 0), 0);
    EXPECT_EQ(VexCam_GetFilterValue(h_, id, &ok), id == 101 ? -1 : 0);
    EXPECT_EQ(ok, 0);
    ExpectCodes(
        {id == 101 ? VEXCAM_ERR_NOT_SUPPORTED : VEXCAM_ERR_INVALID_ARG, VEXCAM_ERR_INVALID_ARG});
  }

  for (int channel : {0, 5, -1, INT_MAX}) {
    ok = 1;
    EXPECT_EQ(VexCam_SetChannelGain(h_, channel, 1), 0);
    EXPECT_EQ(VexCam_SetChannelOffset(h_, channel, 1), 0);
    EXPECT_EQ(VexCam_GetChannelGain(h_, channel, &ok), 0);
    EXPECT_EQ(VexCam_GetChannelOffset(h_, channel, nullptr), 0);
    ExpectCodes({});
  }
  EXPECT_REFUSED(VexCam_SetChannelGain(h_, 1, 1), VEXCAM_ERR_INVALID_ARG);
  EXPECT_REFUSED(VexCam_GetChannelOffset(h_, 4, &ok), VEXCAM_ERR_INVALID_ARG);
}

// The colour gains take the camera's range, as every device value does (the
// global gain's and the exposure's ends are
// Model.ExposureAndGainRoundTripWithinTheReportedRanges').
TEST_F(Values, ColourGainsFollowTheCameraRange) {
  const VEXCAM_CAMERA_INFO info = Info();
  for (int id = 14; id <= 17; ++id) {
    SCOPED_TRACE(id);
    EXPECT_REFUSED(VexCam_SetFilterValue(h_, id, info.colorGainMax + 1), VEXCAM_ERR_INVALID_ARG);
    EXPECT_REFUSED(VexCam_SetFilterValue(h_, id, info.colorGainMin - 1), VEXCAM_ERR_INVALID_ARG);
    EXPECT_EQ(VexCam_SetFilterValue(h_, id, info.colorGainMax), 1);
    EXPECT_EQ(VexCam_SetFilterValue(h_, id, info.colorGainMin), 1);
    ExpectCodes({});
  }
}

// The record is filled up to its declared size: the doubles at 40 only for
// the full 56 bytes, the reserved field at 36 never.
TEST_F(Values, CameraInfoHonoursTheDeclaredSize) {
  unsigned char record[sizeof(VEXCAM_CAMERA_INFO)];
  auto* info = reinterpret_cast<VEXCAM_CAMERA_INFO*>(record);
  for (DWORD size : {36u, 48u, 55u, 56u}) {
    std::memset(record, 0xAB, sizeof(record));
    info->size = size;
    ASSERT_EQ(VexCam_GetCameraInfo(h_, info), 1) << size;
    EXPECT_EQ(info->sensorWidth, 640);
    EXPECT_EQ(info->sensorHeight, 512);
    EXPECT_LE(info->exposureTimeMin, info->exposureTimeMax);
    EXPECT_GT(info->exposureTimeMax, 0);
    for (size_t i = 36; i < sizeof(record); ++i)
      ASSERT_EQ(record[i] == 0xAB, size < 56 || i < 40) << "size " << size << " byte " << i;
  }
  info->size = 35;
  EXPECT_REFUSED(VexCam_GetCameraInfo(h_, info), VEXCAM_ERR_MEMORY);
  EXPECT_REFUSED(VexCam_GetCameraInfo(h_, nullptr), VEXCAM_ERR_INVALID_ARG);
}

TEST_F(Values, ExposureInItsUnits) {
  const VEXCAM_CAMERA_INFO info = Info();
  int ok = 0;
  const int tenths = info.exposureTimeMin + 1;
  ASSERT_EQ(VexCam_SetRealExposureTime(h_, tenths * 100 + 99), 1);
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), tenths * 100) << "truncated to tenths of ms";
  EXPECT_EQ(ok, 1);
  EXPECT_REFUSED(VexCam_SetRealExposureTime(h_, -100), VEXCAM_ERR_INVALID_ARG);
  EXPECT_REFUSED(VexCam_SetRealExposureTime(h_, (info.exposureTimeMax + 1) * 100),
                 VEXCAM_ERR_INVALID_ARG);

  // The ZA01 has no seconds-based exposure.
  EXPECT_REFUSED(VexCam_SetExposureTimeEx(h_, 0.5), VEXCAM_ERR_NOT_SUPPORTED);
  EXPECT_EQ(VexCam_GetExposureTimeEx(h_, &ok), -1.0);
  EXPECT_EQ(ok, 0);
  ExpectCodes({VEXCAM_ERR_NOT_SUPPORTED});
}

// (The ZA01's VexCam_GetTemperature is id 101's, in RefusedIdsAndChannels.)
TEST_F(Values, TemperatureAndCoolingOnTheZa01) {
  int ok = 1;
  // The ZA01 measures its temperature from samples taken while it streams:
  // an idle camera has none, and a supported read that fails records 12.
  EXPECT_EQ(VexCam_GetTemperatureEx(h_, &ok), 0.0);
  EXPECT_EQ(ok, 0);
  ExpectCodes({VEXCAM_ERR_FILE_OR_TEXT});

  // Selecting the camera switched cooling on.
  EXPECT_EQ(VexCam_GetPeltier(h_, &ok), 1);
  ASSERT_EQ(VexCam_SetPeltier(h_, 0), 1);
  BYTE reg = 0xFF;
  ASSERT_EQ(VexSim_ReadFpgaRegister(sim_, 151, &reg), 1);
  EXPECT_EQ(reg & 1, 0);
  EXPECT_EQ(VexCam_GetPeltier(h_, &ok), 0);
  ASSERT_EQ(VexCam_SetPeltier(h_, 7), 1);
  EXPECT_EQ(VexCam_GetPeltier(h_, &ok), 1);
  ExpectCodes({});
}

TEST_F(Values, StreamingCameraReportsItsTemperatureWithCodeZero) {
  if (!VexCam_Capture(h_)) GTEST_SKIP() << "capture mode not available in this build";
  int ok = 0;
  double celsius = 0.0;
  std::vector<BYTE> frame(640 * 512 * 8);
  // The monitor samples the sensor every few hundred milliseconds while the
  // camera streams: keep snapshots coming until one sample is there.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ok && std::chrono::steady_clock::now() < deadline) {
    VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 0);
    while (VexCam_GetLastError(h_) != 0) {}
    celsius = VexCam_GetTemperatureEx(h_, &ok);
  }
  ASSERT_EQ(ok, 1);
  double simCelsius = 0;
  ASSERT_EQ(VexSim_GetTemperature(sim_, &simCelsius), 1);
  EXPECT_NEAR(celsius, simCelsius, 10.0);
  VexCam_SetBrightness(h_, 1000);
  VexCam_GetTemperatureEx(h_, &ok);
  ExpectCodes({VEXCAM_ERR_NONE, VEXCAM_ERR_INVALID_ARG});
  VexCam_Close(h_);
}

TEST_F(Values, FormatGeometryMirrorsAndSwitches) {
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    EXPECT_EQ(VexCam_SetColorMode(h_, bits), 1);
    EXPECT_EQ(VexCam_GetColorMode(h_), bits);
  }
  for (int bits : {0, 12, 65, -8}) EXPECT_REFUSED(VexCam_SetColorMode(h_, bits), 9);
  EXPECT_EQ(VexCam_SetSubSample(h_, 0), 1);
  EXPECT_REFUSED(VexCam_SetSubSample(h_, 1));
  EXPECT_EQ(VexCam_GetSubSample(h_), 0);

  EXPECT_EQ(VexCam_SetMirrorH(h_, 5), 1);
  EXPECT_EQ(VexCam_GetMirrorH(h_), 1);
  EXPECT_EQ(VexCam_SetConfigFilter(h_, 1), 1);
  EXPECT_EQ(VexCam_GetConfigFilter(h_), 1);
  EXPECT_REFUSED(VexCam_SetConfigFilter(h_, 2), VEXCAM_ERR_INVALID_ARG);

  int ok = 0;
  EXPECT_EQ(VexCam_SetAutoIris(h_, 2), 1);
  EXPECT_EQ(VexCam_SetAutoIris(h_, 3), 0);
  EXPECT_EQ(VexCam_SetAutoIris(h_, -1), 0);
  EXPECT_EQ(VexCam_GetAutoIris(h_, &ok), 2);
  EXPECT_EQ(ok, 1);
  ExpectCodes({});
  // Recorded codes are posted too; the two auto-iris refusals were only posted.
  EXPECT_EQ(Posted(), (std::vector<LPARAM>{9, 9, 9, 9, 9, 9, 9}));
}

TEST_F(Values, CaptureWindowMustBeAnAllowedWindow) {
  int v[6] = {};
  auto stored = [&] {
    EXPECT_EQ(VexCam_GetCaptureWindowEx(h_, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), 1);
    return std::vector<int>(v, v + 6);
  };
  ASSERT_EQ(VexCam_SetCaptureWindowEx(h_, 640, 0, 640, 512, 0, 512), 1);
  // The ZA01 has a fixed width and height: smaller windows are invalid here
  // and not stored.
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 640, 160, 320, 512, 136, 240), 9);
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 640, 0, 640, 512, 136, 240), 9);
  EXPECT_EQ(stored(), (std::vector<int>{640, 0, 640, 512, 0, 512}));
  // Full size, but not at an allowed position: 7, and all six values stay
  // stored, so the next start fails its preparation with 7 too.
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 700, 0, 640, 600, -1, 512), 7);
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 700, INT_MAX, 640, 600, INT_MAX, 512), 7);
  EXPECT_REFUSED(VexCam_SetCaptureWindowEx(h_, 700, 1, 640, 600, 0, 512), 7);
  EXPECT_EQ(stored(), (std::vector<int>{700, 1, 640, 600, 0, 512}));
  EXPECT_EQ(VexCam_Width(h_), 640);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  EXPECT_REFUSED(VexCam_StartPreview(h_), 7);
  EXPECT_REFUSED(VexCam_SnapShot(h_, nullptr, 0, 1), 7);
  ASSERT_EQ(VexCam_SetCaptureWindowEx(h_, 700, 0, 640, 600, 0, 512), 1);
  EXPECT_EQ(stored(), (std::vector<int>{700, 0, 640, 600, 0, 512}));
  EXPECT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  ExpectCodes({});
}

TEST_F(Values, RegistersAndIoPort) {
  int ok = 0;
  ASSERT_EQ(VexCam_Fpga_WriteRegister(h_, 100, 0x1A5), 1);
  BYTE reg = 0;
  ASSERT_EQ(VexSim_ReadFpgaRegister(sim_, 100, &reg), 1);
  EXPECT_EQ(reg, 0xA5);
  EXPECT_EQ(VexCam_Fpga_ReadRegister(h_, 100, &ok), 0xA5);
  EXPECT_EQ(ok, 1);
  ok = 0;
  VexCam_ReadRegister(h_, 0, &ok);
  EXPECT_EQ(ok, 1);

  ASSERT_EQ(VexCam_SetIOPort(h_, 0x5A), 1);
  BYTE port = 0;
  ASSERT_EQ(VexCam_GetIOPort(h_, &port), 1);
  EXPECT_EQ(port, 0x5A);
  EXPECT_EQ(VexCam_GetIOPort(h_, nullptr), 0);
  ExpectCodes({});
  EXPECT_EQ(Posted(), std::vector<LPARAM>{9});

  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  EXPECT_REFUSED(VexCam_Fpga_ReadRegister(h_, 100, &ok), 6);
  EXPECT_EQ(ok, 0);
  EXPECT_REFUSED(VexCam_WriteRegisterEx(h_, 0x10, 1), 6);
  EXPECT_REFUSED(VexCam_ReadRegisterEx(h_, 0x10, &ok), 6);
}

TEST_F(Values, EepromWritesAreVerified) {
  int ok = 0;
  ASSERT_EQ(VexCam_WriteSromID(h_, 0x1234, 0x1C7), 1);
  BYTE stored = 0;
  ASSERT_EQ(VexSim_ReadEeprom(sim_, 0x234, &stored), 1) << "address masked to 12 bits";
  EXPECT_EQ(stored, 0xC7);
  EXPECT_EQ(VexCam_ReadSromID(h_, 0x234, &ok), 0xC7);
  EXPECT_EQ(ok, 1);

  // A write the EEPROM acknowledges but never stores is a failure.
  ASSERT_EQ(VexSim_InjectFault(sim_, VEXSIM_FAULT_EEPROM_LOSS, 100), 1);
  EXPECT_EQ(VexCam_WriteSromID(h_, 0x235, 0x42), 0);
  ASSERT_EQ(VexSim_ClearFaults(sim_), 1);
  EXPECT_EQ(VexCam_WriteSromID(h_, 0x235, 0x42), 1) << "the cleared fault is gone";
  ExpectCodes({});  // the EEPROM family only notifies
  EXPECT_FALSE(Posted().empty());
}

// The EEPROM text up to its 0xFF marker, at most 31 characters: a narrow
// buffer needs 32, a wide one the text and its terminator, and a refused
// buffer is not written.
TEST_F(Values, SerialNumberFromTheEeprom) {
  auto write = [&](const std::string& s) {
    for (size_t i = 0; i <= s.size(); ++i) {
      const BYTE byte = i < s.size() ? static_cast<BYTE>(s[i]) : 0xFF;
      ASSERT_EQ(VexSim_WriteEeprom(sim_, 0x1040 + static_cast<UINT>(i), byte), 1);
    }
  };
  write("ZA01-000417");
  char text[64];
  ASSERT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
  EXPECT_STREQ(text, "ZA01-000417");
  EXPECT_REFUSED(VexCam_ReadSerialNumberA(h_, text, 31), 9);
  EXPECT_REFUSED(VexCam_ReadSerialNumberA(h_, nullptr, 32), 9);
  EXPECT_REFUSED(VexCam_ReadSerialNumberW(h_, nullptr, 32), 9);
  wchar_t wide[40];
  std::fill(std::begin(wide), std::end(wide), L'#');
  for (int size : {11, 0, -5}) EXPECT_REFUSED(VexCam_ReadSerialNumberW(h_, wide, size), 12);
  EXPECT_EQ(wide[0], L'#') << "nothing written when the text does not fit";
  ASSERT_EQ(VexCam_ReadSerialNumberW(h_, wide, 12), 1);
  EXPECT_EQ(std::wstring(wide), L"ZA01-000417");
  EXPECT_EQ(wide[12], L'#');
  // No number (a first byte of 0, or the marker at once): an empty text.
  for (const std::string& empty : {std::string("\0AB", 3), std::string()}) {
    write(empty);
    std::memset(text, 'x', sizeof(text));
    ASSERT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
    EXPECT_STREQ(text, "");
  }
  // No marker within 32 bytes: the first 31 characters.
  for (UINT i = 0; i < 40; ++i) VexSim_WriteEeprom(sim_, 0x1040 + i, '0' + (i % 10));
  std::memset(text, 'x', sizeof(text));
  ASSERT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
  EXPECT_STREQ(text, "0123456789012345678901234567890");
  EXPECT_EQ(text[32], 'x');
  // A first read that fails is told by the result alone.
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  EXPECT_REFUSED(VexCam_ReadSerialNumberA(h_, text, 32));
}

// Auto iris during capture: the frame's request reaches the camera after the
// frame, and the stored exposure follows it. The simulated frame at exposure
// 10 is dark in all five sample windows, so the exposure grows by 30 / 20.
TEST_F(Values, AutoIrisRecordsTheExposureItSetAfterTheFrame) {
  if (!VexCam_Capture(h_)) GTEST_SKIP() << "capture mode not available in this build";
  int ok = 0;
  std::vector<BYTE> frame(640 * 512 * 8);
  auto snap = [&] { return VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 0); };
  ASSERT_EQ(VexCam_SetExposureTime(h_, 10), 1);
  ASSERT_EQ(VexCam_SetAutoIris(h_, 1), 1);
  ASSERT_EQ(snap(), 1);
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), 1500);
  ASSERT_EQ(VexCam_SetAutoIris(h_, 0), 1);
  ASSERT_EQ(snap(), 1);
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), 1500);
  ExpectCodes({});
  VexCam_Close(h_);
}

}  // namespace
