// An unknown handle gives every export's failure value (null pointers and
// out-of-range values on a live instance are the abuse suite's).
#include <gtest/gtest.h>

#include <string>

#include "vexcam/VexCamSdk.h"

namespace {

// Calls every export except the three that take no instance; check receives
// whether the result equals the export's failure value.
template <class Check>
void CallEveryExport(DWORD h, Check&& check) {
  check("VexCam_EnumDevice", VexCam_EnumDevice(h, nullptr) == 0);
  check("VexCam_EnumDeviceW", VexCam_EnumDeviceW(h, nullptr) == 0);
  check("VexCam_GetDeviceName", VexCam_GetDeviceName(h, -1, nullptr, -1) == 0);
  check("VexCam_GetDeviceNameW", VexCam_GetDeviceNameW(h, -1, nullptr, -1) == 0);
  check("VexCam_SetDeviceNumber", VexCam_SetDeviceNumber(h, -1) == 0);
  check("VexCam_Close", VexCam_Close(h) == 0);
  check("VexCam_GetLastError", VexCam_GetLastError(h) == 0);
  check("VexCam_GetCameraInfo", VexCam_GetCameraInfo(h, nullptr) == 0);
  check("VexCam_Preview", VexCam_Preview(h) == 0);
  check("VexCam_CallBackPreview", VexCam_CallBackPreview(h, nullptr, nullptr, -1, -1) == 0);
  check("VexCam_StartPreview", VexCam_StartPreview(h) == 0);
  check("VexCam_StopPreview", VexCam_StopPreview(h) == 0);
  check("VexCam_Capture", VexCam_Capture(h) == 0);
  check("VexCam_SnapShot", VexCam_SnapShot(h, nullptr, -1, -1) == 0);
  check("VexCam_Trigger", VexCam_Trigger(h, nullptr, nullptr, -1, -1) == 0);
  check("VexCam_GetImage", VexCam_GetImage(h, nullptr, -1, -1) == 0);
  check("VexCam_Record", VexCam_Record(h, nullptr, 0xFF, -1) == 0);
  check("VexCam_RecordW", VexCam_RecordW(h, nullptr, 0xFF, -1) == 0);
  check("VexCam_SetWaitTime", VexCam_SetWaitTime(h, -1) == 0);
  check("VexCam_GetWaitTime", VexCam_GetWaitTime(h) == -1);
  check("VexCam_Width", VexCam_Width(h) == 0);
  check("VexCam_Height", VexCam_Height(h) == 0);
  check("VexCam_GetStatus", VexCam_GetStatus(h, nullptr) == 0);
  check("VexCam_Fps", VexCam_Fps(h) == 0);
  check("VexCam_SetColorMode", VexCam_SetColorMode(h, -1) == 0);
  check("VexCam_GetColorMode", VexCam_GetColorMode(h) == -1);
  check("VexCam_SetSubSample", VexCam_SetSubSample(h, -1) == 0);
  check("VexCam_GetSubSample", VexCam_GetSubSample(h) == -1);
  check("VexCam_SetCaptureWindow", VexCam_SetCaptureWindow(h, -1, -1) == 0);
  check("VexCam_SetCaptureWindowEx", VexCam_SetCaptureWindowEx(h, -1, -1, -1, -1, -1, -1) == 0);
  check("VexCam_GetCaptureWindowEx",
        VexCam_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 0);
  check("VexCam_SetPreviewWindow", VexCam_SetPreviewWindow(h, nullptr, -1, -1, -1, -1) == 0);
  check("VexCam_SetMirrorH", VexCam_SetMirrorH(h, -1) == 0);
  check("VexCam_SetMirrorV", VexCam_SetMirrorV(h, -1) == 0);
  check("VexCam_GetMirrorH", VexCam_GetMirrorH(h) == 0);
  check("VexCam_GetMirrorV", VexCam_GetMirrorV(h) == 0);
  check("VexCam_SetConfigFilter", VexCam_SetConfigFilter(h, -1) == 0);
  check("VexCam_GetConfigFilter", VexCam_GetConfigFilter(h) == 0);
  check("VexCam_SetExposureTime", VexCam_SetExposureTime(h, -1) == 0);
  check("VexCam_GetExposureTime", VexCam_GetExposureTime(h, nullptr) == 0);
  check("VexCam_SetRealExposureTime", VexCam_SetRealExposureTime(h, -1) == 0);
  check("VexCam_GetRealExposureTime", VexCam_GetRealExposureTime(h, nullptr) == 0);
  check("VexCam_SetExposureTimeEx", VexCam_SetExposureTimeEx(h, -1.0) == 0);
  check("VexCam_GetExposureTimeEx", VexCam_GetExposureTimeEx(h, nullptr) == 0.0);
  check("VexCam_GetTemperature", VexCam_GetTemperature(h, nullptr) == 0);
  check("VexCam_GetTemperatureEx", VexCam_GetTemperatureEx(h, nullptr) == 0.0);
  check("VexCam_SetPeltier", VexCam_SetPeltier(h, -1) == 0);
  check("VexCam_GetPeltier", VexCam_GetPeltier(h, nullptr) == 0);
  check("VexCam_ReadRegister", VexCam_ReadRegister(h, 0xFF, nullptr) == 0);
  check("VexCam_ReadRegisterEx", VexCam_ReadRegisterEx(h, 0xFF, nullptr) == 0);
  check("VexCam_WriteRegister", VexCam_WriteRegister(h, 0xFF, 0xFF) == 0);
  check("VexCam_WriteRegisterEx", VexCam_WriteRegisterEx(h, 0xFF, 0xFF) == 0);
  check("VexCam_Fpga_ReadRegister", VexCam_Fpga_ReadRegister(h, 0xFF, nullptr) == 0);
  check("VexCam_Fpga_WriteRegister", VexCam_Fpga_WriteRegister(h, 0xFF, 0xFF) == 0);
  check("VexCam_GetIOPort", VexCam_GetIOPort(h, nullptr) == 0);
  check("VexCam_SetIOPort", VexCam_SetIOPort(h, 0xFF) == 0);
  check("VexCam_ReadSromID", VexCam_ReadSromID(h, -1, nullptr) == 0);
  check("VexCam_WriteSromID", VexCam_WriteSromID(h, -1, -1) == 0);
  check("VexCam_ReadSerialNumberA", VexCam_ReadSerialNumberA(h, nullptr, -1) == 0);
  check("VexCam_ReadSerialNumberW", VexCam_ReadSerialNumberW(h, nullptr, -1) == 0);
  check("VexCam_SetSamplingRate", VexCam_SetSamplingRate(h, -1) == 0);
  check("VexCam_GetSamplingRate", VexCam_GetSamplingRate(h, nullptr) == 0);
  check("VexCam_GetVideoFormat", VexCam_GetVideoFormat(h, nullptr) == 0);
  check("VexCam_SetAutoIris", VexCam_SetAutoIris(h, -1) == 0);
  check("VexCam_GetAutoIris", VexCam_GetAutoIris(h, nullptr) == 0);
  check("VexCam_SetFilterValue", VexCam_SetFilterValue(h, -1, -1) == 0);
  check("VexCam_GetFilterValue", VexCam_GetFilterValue(h, -1, nullptr) == 0);
  check("VexCam_GetBrightness", VexCam_GetBrightness(h, nullptr) == 0);
  check("VexCam_SetBrightness", VexCam_SetBrightness(h, -1) == 0);
  check("VexCam_GetContrast", VexCam_GetContrast(h, nullptr) == 0);
  check("VexCam_SetContrast", VexCam_SetContrast(h, -1) == 0);
  check("VexCam_GetHue", VexCam_GetHue(h, nullptr) == 0);
  check("VexCam_SetHue", VexCam_SetHue(h, -1) == 0);
  check("VexCam_GetSaturation", VexCam_GetSaturation(h, nullptr) == 0);
  check("VexCam_SetSaturation", VexCam_SetSaturation(h, -1) == 0);
  check("VexCam_GetSharpness", VexCam_GetSharpness(h, nullptr) == 0);
  check("VexCam_SetSharpness", VexCam_SetSharpness(h, -1) == 0);
  check("VexCam_GetBayerGainRGB", VexCam_GetBayerGainRGB(h, nullptr) == 0);
  check("VexCam_SetBayerGainRGB", VexCam_SetBayerGainRGB(h, -1) == 0);
  check("VexCam_GetBayerGainRed", VexCam_GetBayerGainRed(h, nullptr) == 0);
  check("VexCam_SetBayerGainRed", VexCam_SetBayerGainRed(h, -1) == 0);
  check("VexCam_GetBayerGainGreen", VexCam_GetBayerGainGreen(h, nullptr) == 0);
  check("VexCam_SetBayerGainGreen", VexCam_SetBayerGainGreen(h, -1) == 0);
  check("VexCam_GetBayerGainBlue", VexCam_GetBayerGainBlue(h, nullptr) == 0);
  check("VexCam_SetBayerGainBlue", VexCam_SetBayerGainBlue(h, -1) == 0);
  check("VexCam_GetBayerGainAuto", VexCam_GetBayerGainAuto(h, nullptr) == 0);
  check("VexCam_SetBayerGainAuto", VexCam_SetBayerGainAuto(h, -1) == 0);
  check("VexCam_GetGamma", VexCam_GetGamma(h, nullptr) == 0);
  check("VexCam_SetGamma", VexCam_SetGamma(h, -1) == 0);
  check("VexCam_GetBayerMode", VexCam_GetBayerMode(h, nullptr) == 0);
  check("VexCam_SetBayerMode", VexCam_SetBayerMode(h, -1) == 0);
  check("VexCam_GetGlobalGain", VexCam_GetGlobalGain(h, nullptr) == 0);
  check("VexCam_SetGlobalGain", VexCam_SetGlobalGain(h, -1) == 0);
  check("VexCam_GetColorGainRed", VexCam_GetColorGainRed(h, nullptr) == 0);
  check("VexCam_SetColorGainRed", VexCam_SetColorGainRed(h, -1) == 0);
  check("VexCam_GetColorGainGreen1", VexCam_GetColorGainGreen1(h, nullptr) == 0);
  check("VexCam_SetColorGainGreen1", VexCam_SetColorGainGreen1(h, -1) == 0);
  check("VexCam_GetColorGainGreen2", VexCam_GetColorGainGreen2(h, nullptr) == 0);
  check("VexCam_SetColorGainGreen2", VexCam_SetColorGainGreen2(h, -1) == 0);
  check("VexCam_GetColorGainBlue", VexCam_GetColorGainBlue(h, nullptr) == 0);
  check("VexCam_SetColorGainBlue", VexCam_SetColorGainBlue(h, -1) == 0);
  check("VexCam_GetGrayMode", VexCam_GetGrayMode(h, nullptr) == 0);
  check("VexCam_SetGrayMode", VexCam_SetGrayMode(h, -1) == 0);
  check("VexCam_GetGrayGainR", VexCam_GetGrayGainR(h, nullptr) == 0);
  check("VexCam_SetGrayGainR", VexCam_SetGrayGainR(h, -1) == 0);
  check("VexCam_GetGrayGainG1", VexCam_GetGrayGainG1(h, nullptr) == 0);
  check("VexCam_SetGrayGainG1", VexCam_SetGrayGainG1(h, -1) == 0);
  check("VexCam_GetGrayGainG2", VexCam_GetGrayGainG2(h, nullptr) == 0);
  check("VexCam_SetGrayGainG2", VexCam_SetGrayGainG2(h, -1) == 0);
  check("VexCam_GetGrayGainB", VexCam_GetGrayGainB(h, nullptr) == 0);
  check("VexCam_SetGrayGainB", VexCam_SetGrayGainB(h, -1) == 0);
  check("VexCam_GetGrayOffsetR", VexCam_GetGrayOffsetR(h, nullptr) == 0);
  check("VexCam_SetGrayOffsetR", VexCam_SetGrayOffsetR(h, -1) == 0);
  check("VexCam_GetGrayOffsetG1", VexCam_GetGrayOffsetG1(h, nullptr) == 0);
  check("VexCam_SetGrayOffsetG1", VexCam_SetGrayOffsetG1(h, -1) == 0);
  check("VexCam_GetGrayOffsetG2", VexCam_GetGrayOffsetG2(h, nullptr) == 0);
  check("VexCam_SetGrayOffsetG2", VexCam_SetGrayOffsetG2(h, -1) == 0);
  check("VexCam_GetGrayOffsetB", VexCam_GetGrayOffsetB(h, nullptr) == 0);
  check("VexCam_SetGrayOffsetB", VexCam_SetGrayOffsetB(h, -1) == 0);
  check("VexCam_GetDotFilter", VexCam_GetDotFilter(h, nullptr) == 0);
  check("VexCam_SetDotFilter", VexCam_SetDotFilter(h, -1) == 0);
  check("VexCam_GetMaskFilter", VexCam_GetMaskFilter(h, nullptr) == 0);
  check("VexCam_SetMaskFilter", VexCam_SetMaskFilter(h, -1) == 0);
  check("VexCam_GetChannelGain", VexCam_GetChannelGain(h, -1, nullptr) == 0);
  check("VexCam_SetChannelGain", VexCam_SetChannelGain(h, -1, -1) == 0);
  check("VexCam_GetChannelOffset", VexCam_GetChannelOffset(h, -1, nullptr) == 0);
  check("VexCam_SetChannelOffset", VexCam_SetChannelOffset(h, -1, -1) == 0);
  check("VexCam_GetHalfClock", VexCam_GetHalfClock(h, nullptr) == 0);
  check("VexCam_SetHalfClock", VexCam_SetHalfClock(h, -1) == 0);
  check("VexCam_GetInternalCorrection", VexCam_GetInternalCorrection(h, nullptr) == 0);
  check("VexCam_SetInternalCorrection", VexCam_SetInternalCorrection(h, -1) == 0);
  check("VexCam_SetCrossbar", VexCam_SetCrossbar(h, -1) == 0);
  check("VexCam_SendText", VexCam_SendText(h, nullptr, -1) == 0);
  check("VexCam_ReceiveText", VexCam_ReceiveText(h, nullptr, -1) == 0);
  check("VexCam_SetCameraDlg", VexCam_SetCameraDlg(h, nullptr) == 0);
  check("VexCam_SetAnalogDlg", VexCam_SetAnalogDlg(h, nullptr) == 0);
  check("VexCam_SetImageDlg", VexCam_SetImageDlg(h, nullptr) == 0);
  check("VexCam_SaveImage", VexCam_SaveImage(h, nullptr, -1) == 0);
  check("VexCam_SaveImageW", VexCam_SaveImageW(h, nullptr, -1) == 0);
  check("VexCam_LoadConfigFileA", VexCam_LoadConfigFileA(h, nullptr) == 0);
  check("VexCam_LoadConfigFileW", VexCam_LoadConfigFileW(h, nullptr) == 0);
  check("VexCam_LoadMaskFile", VexCam_LoadMaskFile(h, nullptr) == 0);
  check("VexCam_LoadMaskFileW", VexCam_LoadMaskFileW(h, nullptr) == 0);
  check("VexCam_SaveMaskFile", VexCam_SaveMaskFile(h, nullptr) == 0);
  check("VexCam_SaveMaskFileW", VexCam_SaveMaskFileW(h, nullptr) == 0);
  check("VexCam_UpdateMaskData", VexCam_UpdateMaskData(h, -1) == 0);
}

TEST(BadInput, UnknownHandlesGiveFailureValues) {
  for (DWORD h : {0u, 1u, 0xFFFFFFFFu}) {
    int calls = 0;
    CallEveryExport(h, [&](const char* name, bool failed) {
      ++calls;
      EXPECT_TRUE(failed) << name << " for handle " << h;
    });
    EXPECT_EQ(calls, 146);
  }
}

}  // namespace
