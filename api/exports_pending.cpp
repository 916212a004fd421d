// Exports whose behaviour arrives with the instance, file and dialog work.
// Until then each one dispatches its handle like every export (unknown handle:
// the failure value and nothing else) and, for a known handle, records
// "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

int VexCam_EnumDevice(DWORD handle, char /*names*/[10][256]) {
  return NotBuilt<int>(handle, 0, nullptr);
}

int VexCam_EnumDeviceW(DWORD handle, wchar_t /*names*/[10][256]) {
  return NotBuilt<int>(handle, 0, nullptr);
}

BOOL VexCam_GetDeviceName(DWORD handle, int /*index*/, char* /*name*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetDeviceNameW(DWORD handle, int /*index*/, wchar_t* /*name*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetDeviceNumber(DWORD handle, int /*number*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Close(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetCameraInfo(DWORD handle, VEXCAM_CAMERA_INFO* /*info*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Preview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_CallBackPreview(DWORD handle, HWND /*callbackWindow*/, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_StartPreview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_StopPreview(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Capture(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SnapShot(DWORD handle, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Trigger(DWORD handle, HWND /*callbackWindow*/, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetImage(DWORD handle, BYTE* /*buffer*/, int /*size*/, int /*topDown*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_Record(DWORD handle, const char* /*fileName*/, DWORD /*durationMs*/, int /*showWindow*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_RecordW(DWORD handle, const wchar_t* /*fileName*/, DWORD /*durationMs*/, int /*showWindow*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetWaitTime(DWORD handle, int /*milliseconds*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetWaitTime(DWORD handle) {
  return NotBuilt<int>(handle, -1, nullptr);
}

int VexCam_Width(DWORD handle) {
  return NotBuilt<int>(handle, 0, nullptr);
}

int VexCam_Height(DWORD handle) {
  return NotBuilt<int>(handle, 0, nullptr);
}

BOOL VexCam_SetColorMode(DWORD handle, int /*bits*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetColorMode(DWORD handle) {
  return NotBuilt<int>(handle, -1, nullptr);
}

BOOL VexCam_SetSubSample(DWORD handle, int /*code*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetSubSample(DWORD handle) {
  return NotBuilt<int>(handle, -1, nullptr);
}

BOOL VexCam_SetCaptureWindow(DWORD handle, int /*width*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetCaptureWindowEx(DWORD handle, int /*totalWidth*/, int /*x*/, int /*width*/, int /*totalHeight*/, int /*y*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetCaptureWindowEx(DWORD handle, int* /*totalWidth*/, int* /*x*/, int* /*width*/, int* /*totalHeight*/, int* /*y*/, int* /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetPreviewWindow(DWORD handle, HWND /*parent*/, int /*x*/, int /*y*/, int /*width*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetMirrorH(DWORD handle, BOOL /*on*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetMirrorV(DWORD handle, BOOL /*on*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetMirrorH(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetMirrorV(DWORD handle) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetConfigFilter(DWORD handle, int /*on*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetConfigFilter(DWORD handle) {
  return NotBuilt<int>(handle, 0, nullptr);
}

BOOL VexCam_SetExposureTime(DWORD handle, int /*tenthsOfMs*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetExposureTime(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetRealExposureTime(DWORD handle, int /*microseconds*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetRealExposureTime(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetExposureTimeEx(DWORD handle, double /*seconds*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

double VexCam_GetExposureTimeEx(DWORD handle, int* ok) {
  return NotBuilt<double>(handle, 0.0, ok);
}

int VexCam_GetTemperature(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

double VexCam_GetTemperatureEx(DWORD handle, int* ok) {
  return NotBuilt<double>(handle, 0.0, ok);
}

BOOL VexCam_SetPeltier(DWORD handle, int /*on*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetPeltier(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

int VexCam_ReadRegister(DWORD handle, BYTE /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

int VexCam_ReadRegisterEx(DWORD handle, DWORD /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_WriteRegister(DWORD handle, BYTE /*address*/, WORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_WriteRegisterEx(DWORD handle, DWORD /*address*/, DWORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_Fpga_ReadRegister(DWORD handle, BYTE /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_Fpga_WriteRegister(DWORD handle, BYTE /*address*/, WORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetIOPort(DWORD handle, BYTE* /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetIOPort(DWORD handle, BYTE /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_ReadSromID(DWORD handle, int /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_WriteSromID(DWORD handle, int /*address*/, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_ReadSerialNumberA(DWORD handle, char* /*buffer*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_ReadSerialNumberW(DWORD handle, wchar_t* /*buffer*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetSamplingRate(DWORD handle, int /*rate*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetAutoIris(DWORD handle, int /*mode*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetAutoIris(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetFilterValue(DWORD handle, int /*id*/, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetFilterValue(DWORD handle, int /*id*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

int VexCam_GetBrightness(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBrightness(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetContrast(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetContrast(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetHue(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetHue(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetSaturation(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetSaturation(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetSharpness(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetSharpness(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerGainRGB(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerGainRGB(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerGainRed(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerGainRed(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerGainGreen(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerGainGreen(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerGainBlue(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerGainBlue(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerGainAuto(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerGainAuto(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGamma(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGamma(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetBayerMode(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetBayerMode(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGlobalGain(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGlobalGain(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetColorGainRed(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetColorGainRed(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetColorGainGreen1(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetColorGainGreen1(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetColorGainGreen2(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetColorGainGreen2(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetColorGainBlue(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetColorGainBlue(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayMode(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayMode(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayGainR(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayGainR(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayGainG1(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayGainG1(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayGainG2(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayGainG2(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayGainB(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayGainB(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayOffsetR(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayOffsetR(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayOffsetG1(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayOffsetG1(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayOffsetG2(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayOffsetG2(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetGrayOffsetB(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetGrayOffsetB(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetDotFilter(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetDotFilter(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetMaskFilter(DWORD handle, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetMaskFilter(DWORD handle, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetChannelGain(DWORD handle, int /*channel*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetChannelGain(DWORD handle, int /*channel*/, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_GetChannelOffset(DWORD handle, int /*channel*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_SetChannelOffset(DWORD handle, int /*channel*/, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetCameraDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetAnalogDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetImageDlg(DWORD handle, HWND /*parent*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveImage(DWORD handle, const char* /*fileName*/, int /*format*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveImageW(DWORD handle, const wchar_t* /*fileName*/, int /*format*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadConfigFileA(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadConfigFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadMaskFile(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_LoadMaskFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveMaskFile(DWORD handle, const char* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SaveMaskFileW(DWORD handle, const wchar_t* /*fileName*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_UpdateMaskData(DWORD handle, int /*which*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

}  // extern "C"
