// Error codes, notifications and value rules of the C API that the other API
// suites leave out: notify-only failures, the serial number in both text
// forms, exposure values beyond 16 bits, failed starts that record twice,
// the device-backed value ids and the declared size of the camera record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/api_fixture.h"

namespace {

constexpr UINT kSerialAddress = 0x1040;

class Review : public vexcam::test::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    if (WithCamera()) AddCameras();
    notify_ = VexWin_CreateMessageWindow();
    ASSERT_NE(Init(), 0u);
    ASSERT_TRUE(Codes().empty());
    Posted();
  }
  virtual bool WithCamera() const { return true; }
  void WriteSerial(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
      ASSERT_EQ(VexSim_WriteEeprom(sim_, kSerialAddress + static_cast<UINT>(i),
                                   static_cast<BYTE>(text[i])),
                1);
    }
    ASSERT_EQ(VexSim_WriteEeprom(sim_, kSerialAddress + static_cast<UINT>(text.size()), 0xFF), 1);
  }
};

class ReviewWithoutCamera : public Review {
 protected:
  bool WithCamera() const override { return false; }
};

// ---------------------------------------------------------------- notify-only failures

TEST_F(Review, PortAndEepromFailuresArePostedButNeverPushed) {
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  int ok = 1;
  BYTE port = 0x33;
  EXPECT_EQ(VexCam_ReadSromID(h_, 0x10, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_TRUE(Codes().empty());
  EXPECT_EQ(Posted(), std::vector<LPARAM>{1});

  EXPECT_EQ(VexCam_GetIOPort(h_, &port), 0);
  EXPECT_EQ(port, 0x33);
  EXPECT_TRUE(Codes().empty());
  EXPECT_EQ(Posted(), std::vector<LPARAM>{9}) << "a failed port read is reported as 9";

  // The port write only returns the device's result.
  EXPECT_EQ(VexCam_SetIOPort(h_, 1), 0);
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Posted().empty());

  EXPECT_EQ(VexCam_WriteSromID(h_, 0x10, 0x5A), 0);
  EXPECT_TRUE(Codes().empty());
  const std::vector<LPARAM> posted = Posted();
  ASSERT_FALSE(posted.empty());
  for (LPARAM code : posted) EXPECT_EQ(code, 1);

  // The mirror flags need only the device model, not a reachable camera.
  EXPECT_EQ(VexCam_SetMirrorV(h_, 3), 1);
  EXPECT_EQ(VexCam_GetMirrorV(h_), 1);
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Posted().empty());
}

// ---------------------------------------------------------------- serial number

TEST_F(Review, WideSerialNumberIsBoundedByTheConvertedText) {
  WriteSerial("ZA01-000417");  // 11 characters
  wchar_t wide[40];
  std::fill(std::begin(wide), std::end(wide), L'#');
  EXPECT_EQ(VexCam_ReadSerialNumberW(h_, wide, 11), 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{VEXCAM_ERR_FILE_OR_TEXT});
  EXPECT_EQ(wide[0], L'#') << "nothing written when the text does not fit";
  ASSERT_EQ(VexCam_ReadSerialNumberW(h_, wide, 12), 1);
  EXPECT_EQ(std::wstring(wide), L"ZA01-000417");
  EXPECT_EQ(wide[12], L'#');
  EXPECT_EQ(VexCam_ReadSerialNumberW(h_, wide, 0), 0);
  EXPECT_EQ(VexCam_ReadSerialNumberW(h_, wide, -5), 0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_FILE_OR_TEXT, VEXCAM_ERR_FILE_OR_TEXT}));

  // An empty number still needs room for its terminator.
  WriteSerial("");
  wide[0] = L'#';
  ASSERT_EQ(VexCam_ReadSerialNumberW(h_, wide, 1), 1);
  EXPECT_EQ(wide[0], L'\0');
  EXPECT_TRUE(Codes().empty());
}

TEST_F(Review, NarrowSerialNumberEndsAtTheMarkerAndNeedsANonZeroFirstByte) {
  char text[64];
  // 0xFF at once: an empty number, read successfully.
  WriteSerial("");
  std::memset(text, 'x', sizeof(text));
  ASSERT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
  EXPECT_STREQ(text, "");
  // A first byte of 0 means no number, but the read itself succeeded.
  WriteSerial(std::string("\0AB", 3));
  EXPECT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(Codes().empty());
  // Exactly 32 bytes of buffer take the longest number.
  for (UINT i = 0; i < 40; ++i)
    ASSERT_EQ(VexSim_WriteEeprom(sim_, kSerialAddress + i, '0' + (i % 10)), 1);
  std::memset(text, 'x', sizeof(text));
  ASSERT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 1);
  EXPECT_EQ(std::string(text), std::string("0123456789012345678901234567890"));
  EXPECT_EQ(text[32], 'x');
  // A first read that fails is a failure, told by the result alone.
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  EXPECT_EQ(VexCam_ReadSerialNumberA(h_, text, 32), 0);
  EXPECT_TRUE(Codes().empty());
}

// Device getters whose read fails report it through ok alone: no code, no
// error message.
TEST_F(Review, FailedDeviceReadsOfGettersClearOkWithoutACode) {
  ASSERT_EQ(VexSim_Unplug(sim_), 1);
  int failed = 0;
  for (int id : {13, 14, 15, 16, 17, 18}) {
    int ok = 1;
    const int value = VexCam_GetFilterValue(h_, id, &ok);
    if (ok == 0) {
      EXPECT_EQ(value, 0) << id;
      ++failed;
    }
  }
  EXPECT_GT(failed, 0) << "no device read failed";
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Posted().empty());
}

// ---------------------------------------------------------------- exposure

// The ZA01 exposes for up to about two minutes, far beyond 16 bits of tenths
// of milliseconds: the camera must get the value the API accepted and stored.
TEST_F(Review, RealExposureAbove16BitsReachesTheCameraWhole) {
  VEXCAM_CAMERA_INFO info{};
  info.size = sizeof(info);
  ASSERT_EQ(VexCam_GetCameraInfo(h_, &info), 1);
  const int tenths = 70000;  // 0x11170: its low 16 bits are a different exposure
  ASSERT_GE(info.exposureTimeMax, tenths);
  // In capture mode the camera keeps running between snapshots, so nothing
  // but the setter itself carries the value to it.
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_Capture(h_), 1);
  ASSERT_EQ(VexCam_SetRealExposureTime(h_, tenths * 100 + 42), 1);
  int ok = 0;
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), tenths * 100);
  EXPECT_EQ(ok, 1);
  // The camera takes a new exposure with the next frame it delivers.
  ASSERT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  EXPECT_EQ(VexCam_GetExposureTime(h_, &ok), tenths);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), tenths * 100);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

// ---------------------------------------------------------------- failed starts

TEST_F(ReviewWithoutCamera, FailedStartsLeaveTheStartCodeThenTheirOwn) {
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  EXPECT_EQ(VexCam_Preview(h_), 0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NOT_OPENED}));
  HWND callback = VexWin_CreateMessageWindow();
  std::vector<BYTE> buffer(640 * 512);
  EXPECT_EQ(VexCam_CallBackPreview(h_, callback, buffer.data(), static_cast<int>(buffer.size()), 1),
            0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NOT_OPENED}));
  EXPECT_EQ(VexCam_Record(h_, "never-created.avi", 1000, 0), 0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_FILE_OR_TEXT, VEXCAM_ERR_NOT_OPENED}));
  // Trigger and the plain starts add nothing to the preparation's code.
  EXPECT_EQ(VexCam_Trigger(h_, callback, buffer.data(), static_cast<int>(buffer.size()), 1), 0);
  EXPECT_EQ(VexCam_StartPreview(h_), 0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NOT_OPENED, VEXCAM_ERR_NOT_OPENED}));
  // Every recorded code was posted too, in the order pushed.
  EXPECT_EQ(Posted(), (std::vector<LPARAM>{2, 8, 2, 8, 2, 12, 2, 2}));
  VEXWIN_MSG msg{};
  EXPECT_FALSE(VexWin_PeekMessage(callback, &msg, TRUE)) << "no frame message without a frame";
  VexWin_DestroyWindow(callback);
}

TEST_F(Review, PreviewRefusedInCaptureModeClosesCapture) {
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  ASSERT_EQ(VexCam_Capture(h_), 1);
  EXPECT_EQ(VexCam_Preview(h_), 0);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NO_FRAME, VEXCAM_ERR_NO_CAMERA}));
  // The failed start closed capture: preview may start now.
  EXPECT_EQ(VexCam_StartPreview(h_), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

// ---------------------------------------------------------------- device-backed value ids

TEST_F(Review, CorrectionAndAnalogGainIdsFollowTheCamera) {
  int ok = 0;
  // Correction mode: the device's answer, whatever it is; a refused write is
  // only a result.
  VexCam_GetFilterValue(h_, VEXCAM_VALUE_CORRECTION_MODE, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_SetFilterValue(h_, VEXCAM_VALUE_CORRECTION_MODE, 1), 0);
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(Posted().empty());
  // The ZA01 has neither automatic correction nor an analog gain.
  for (int id : {VEXCAM_VALUE_AUTO_CORRECTION, VEXCAM_VALUE_ANALOG_GAIN}) {
    SCOPED_TRACE(id);
    ok = 1;
    EXPECT_EQ(VexCam_GetFilterValue(h_, id, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(VexCam_SetFilterValue(h_, id, 1), 0);
    EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NOT_SUPPORTED, VEXCAM_ERR_NOT_SUPPORTED}));
  }
}

TEST_F(ReviewWithoutCamera, StoredValuesNeedNoOpenCameraButDeviceValuesDo) {
  int ok = 0;
  EXPECT_EQ(VexCam_SetHue(h_, -360), 1);
  EXPECT_EQ(VexCam_GetHue(h_, &ok), -360);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(VexCam_SetFilterValue(h_, VEXCAM_VALUE_AUTO_GRAY, 1), 1);
  EXPECT_TRUE(Codes().empty());
  ok = 1;
  EXPECT_EQ(VexCam_GetTemperature(h_, &ok), -1);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Codes(), std::vector<DWORD>{VEXCAM_ERR_NOT_SUPPORTED});
  ok = 1;
  EXPECT_EQ(VexCam_GetTemperatureEx(h_, &ok), 0.0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(VexCam_GetPeltier(h_, &ok), -1);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{VEXCAM_ERR_NOT_SUPPORTED, VEXCAM_ERR_NOT_SUPPORTED}));
  ok = 1;
  VexCam_GetGlobalGain(h_, &ok);
  EXPECT_EQ(ok, 0);
  Codes();
}

// ---------------------------------------------------------------- camera record

TEST_F(Review, CameraRecordWritesTheDoublesOnlyForTheFullSize) {
  unsigned char record[sizeof(VEXCAM_CAMERA_INFO)];
  auto* info = reinterpret_cast<VEXCAM_CAMERA_INFO*>(record);
  for (DWORD size : {36u, 48u, 55u}) {
    std::memset(record, 0xAB, sizeof(record));
    info->size = size;
    ASSERT_EQ(VexCam_GetCameraInfo(h_, info), 1) << size;
    for (size_t i = 36; i < sizeof(record); ++i)
      ASSERT_EQ(record[i], 0xAB) << "size " << size << " byte " << i;
  }
  std::memset(record, 0xAB, sizeof(record));
  info->size = 56;
  ASSERT_EQ(VexCam_GetCameraInfo(h_, info), 1);
  for (size_t i = 40; i < sizeof(record); ++i) EXPECT_NE(record[i], 0xAB) << "byte " << i;
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
