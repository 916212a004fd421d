// An unknown handle gives every export's failure value (null pointers and
// out-of-range values on a live instance are the abuse suite's).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "vexcam/VexCamSdk.h"

namespace {

#define F(fn) \
  { #fn, fn }
#define C(call, failure) \
  { #call, (call) == (failure) }

template <class Fn>
using Named = std::vector<std::pair<const char*, Fn>>;

// The exports of the common shapes; the failure value is 0, or -1 for kMinusOne.
const Named<int (*)(DWORD, int*)> kGetters = {
    F(VexCam_GetExposureTime),    F(VexCam_GetTemperature),    F(VexCam_GetPeltier),
    F(VexCam_GetSamplingRate),    F(VexCam_GetVideoFormat),    F(VexCam_GetAutoIris),
    F(VexCam_GetBrightness),      F(VexCam_GetContrast),       F(VexCam_GetHue),
    F(VexCam_GetSaturation),      F(VexCam_GetSharpness),      F(VexCam_GetBayerGainRGB),
    F(VexCam_GetBayerGainRed),    F(VexCam_GetBayerGainGreen), F(VexCam_GetBayerGainBlue),
    F(VexCam_GetBayerGainAuto),   F(VexCam_GetGamma),          F(VexCam_GetBayerMode),
    F(VexCam_GetGlobalGain),      F(VexCam_GetColorGainRed),   F(VexCam_GetColorGainGreen1),
    F(VexCam_GetColorGainGreen2), F(VexCam_GetColorGainBlue),  F(VexCam_GetGrayMode),
    F(VexCam_GetGrayGainR),       F(VexCam_GetGrayGainG1),     F(VexCam_GetGrayGainG2),
    F(VexCam_GetGrayGainB),       F(VexCam_GetGrayOffsetR),    F(VexCam_GetGrayOffsetG1),
    F(VexCam_GetGrayOffsetG2),    F(VexCam_GetGrayOffsetB),    F(VexCam_GetDotFilter),
    F(VexCam_GetMaskFilter),      F(VexCam_GetHalfClock)};
const Named<int (*)(DWORD, int)> kSetters = {
    F(VexCam_SetDeviceNumber),    F(VexCam_SetWaitTime),       F(VexCam_SetColorMode),
    F(VexCam_SetSubSample),       F(VexCam_SetMirrorH),        F(VexCam_SetMirrorV),
    F(VexCam_SetConfigFilter),    F(VexCam_SetExposureTime),   F(VexCam_SetRealExposureTime),
    F(VexCam_SetPeltier),         F(VexCam_SetSamplingRate),   F(VexCam_SetAutoIris),
    F(VexCam_SetBrightness),      F(VexCam_SetContrast),       F(VexCam_SetHue),
    F(VexCam_SetSaturation),      F(VexCam_SetSharpness),      F(VexCam_SetBayerGainRGB),
    F(VexCam_SetBayerGainRed),    F(VexCam_SetBayerGainGreen), F(VexCam_SetBayerGainBlue),
    F(VexCam_SetBayerGainAuto),   F(VexCam_SetGamma),          F(VexCam_SetBayerMode),
    F(VexCam_SetGlobalGain),      F(VexCam_SetColorGainRed),   F(VexCam_SetColorGainGreen1),
    F(VexCam_SetColorGainGreen2), F(VexCam_SetColorGainBlue),  F(VexCam_SetGrayMode),
    F(VexCam_SetGrayGainR),       F(VexCam_SetGrayGainG1),     F(VexCam_SetGrayGainG2),
    F(VexCam_SetGrayGainB),       F(VexCam_SetGrayOffsetR),    F(VexCam_SetGrayOffsetG1),
    F(VexCam_SetGrayOffsetG2),    F(VexCam_SetGrayOffsetB),    F(VexCam_SetDotFilter),
    F(VexCam_SetMaskFilter),      F(VexCam_SetHalfClock),      F(VexCam_SetInternalCorrection),
    F(VexCam_SetCrossbar),        F(VexCam_UpdateMaskData)};
const Named<int (*)(DWORD)> kNoArgument = {
    F(VexCam_Close),      F(VexCam_Preview),    F(VexCam_StartPreview),   F(VexCam_StopPreview),
    F(VexCam_Capture),    F(VexCam_Width),      F(VexCam_Height),         F(VexCam_Fps),
    F(VexCam_GetMirrorH), F(VexCam_GetMirrorV), F(VexCam_GetConfigFilter)};
const Named<int (*)(DWORD)> kMinusOne = {F(VexCam_GetWaitTime), F(VexCam_GetColorMode),
                                         F(VexCam_GetSubSample)};

// Every export except the three that take no instance: whether it gave its
// failure value.
std::vector<std::pair<const char*, bool>> CallEveryExport(DWORD h) {
  std::vector<std::pair<const char*, bool>> results = {
      C(VexCam_GetLastError(h), 0),
      C(VexCam_GetRealExposureTime(h, nullptr), 0),
      C(VexCam_GetInternalCorrection(h, nullptr), 0),
      C(VexCam_EnumDevice(h, nullptr), 0),
      C(VexCam_EnumDeviceW(h, nullptr), 0),
      C(VexCam_GetDeviceName(h, -1, nullptr, -1), 0),
      C(VexCam_GetDeviceNameW(h, -1, nullptr, -1), 0),
      C(VexCam_GetCameraInfo(h, nullptr), 0),
      C(VexCam_CallBackPreview(h, nullptr, nullptr, -1, -1), 0),
      C(VexCam_SnapShot(h, nullptr, -1, -1), 0),
      C(VexCam_Trigger(h, nullptr, nullptr, -1, -1), 0),
      C(VexCam_GetImage(h, nullptr, -1, -1), 0),
      C(VexCam_Record(h, nullptr, 0xFF, -1), 0),
      C(VexCam_RecordW(h, nullptr, 0xFF, -1), 0),
      C(VexCam_GetStatus(h, nullptr), 0),
      C(VexCam_SetCaptureWindow(h, -1, -1), 0),
      C(VexCam_SetCaptureWindowEx(h, -1, -1, -1, -1, -1, -1), 0),
      C(VexCam_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0),
      C(VexCam_SetPreviewWindow(h, nullptr, -1, -1, -1, -1), 0),
      C(VexCam_SetExposureTimeEx(h, -1.0), 0),
      C(VexCam_GetExposureTimeEx(h, nullptr), 0.0),
      C(VexCam_GetTemperatureEx(h, nullptr), 0.0),
      C(VexCam_ReadRegister(h, 0xFF, nullptr), 0),
      C(VexCam_ReadRegisterEx(h, 0xFF, nullptr), 0),
      C(VexCam_WriteRegister(h, 0xFF, 0xFF), 0),
      C(VexCam_WriteRegisterEx(h, 0xFF, 0xFF), 0),
      C(VexCam_Fpga_ReadRegister(h, 0xFF, nullptr), 0),
      C(VexCam_Fpga_WriteRegister(h, 0xFF, 0xFF), 0),
      C(VexCam_GetIOPort(h, nullptr), 0),
      C(VexCam_SetIOPort(h, 0xFF), 0),
      C(VexCam_ReadSromID(h, -1, nullptr), 0),
      C(VexCam_WriteSromID(h, -1, -1), 0),
      C(VexCam_ReadSerialNumberA(h, nullptr, -1), 0),
      C(VexCam_ReadSerialNumberW(h, nullptr, -1), 0),
      C(VexCam_SetFilterValue(h, -1, -1), 0),
      C(VexCam_GetFilterValue(h, -1, nullptr), 0),
      C(VexCam_GetChannelGain(h, -1, nullptr), 0),
      C(VexCam_SetChannelGain(h, -1, -1), 0),
      C(VexCam_GetChannelOffset(h, -1, nullptr), 0),
      C(VexCam_SetChannelOffset(h, -1, -1), 0),
      C(VexCam_SendText(h, nullptr, -1), 0),
      C(VexCam_ReceiveText(h, nullptr, -1), 0),
      C(VexCam_SetCameraDlg(h, nullptr), 0),
      C(VexCam_SetAnalogDlg(h, nullptr), 0),
      C(VexCam_SetImageDlg(h, nullptr), 0),
      C(VexCam_SaveImage(h, nullptr, -1), 0),
      C(VexCam_SaveImageW(h, nullptr, -1), 0),
      C(VexCam_LoadConfigFileA(h, nullptr), 0),
      C(VexCam_LoadConfigFileW(h, nullptr), 0),
      C(VexCam_LoadMaskFile(h, nullptr), 0),
      C(VexCam_LoadMaskFileW(h, nullptr), 0),
      C(VexCam_SaveMaskFile(h, nullptr), 0),
      C(VexCam_SaveMaskFileW(h, nullptr), 0)};
  for (auto [name, fn] : kGetters) results.emplace_back(name, fn(h, nullptr) == 0);
  for (auto [name, fn] : kSetters) results.emplace_back(name, fn(h, -1) == 0);
  for (auto [name, fn] : kNoArgument) results.emplace_back(name, fn(h) == 0);
  for (auto [name, fn] : kMinusOne) results.emplace_back(name, fn(h) == -1);
  return results;
}

TEST(BadInput, UnknownHandlesGiveFailureValues) {
  for (DWORD h : {0u, 1u, 0xFFFFFFFFu}) {
    const auto results = CallEveryExport(h);
    for (const auto& [name, failed] : results) EXPECT_TRUE(failed) << name << " for handle " << h;
    EXPECT_EQ(results.size(), 146u);
  }
}

}  // namespace
