// Colour mode, window, mirrors, exposure, temperature, gains and the generic value interface.
// Not built yet: each export dispatches its handle like every export (unknown
// handle: the failure value and nothing else) and, for a known handle,
// records "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

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

BOOL VexCam_SetCaptureWindowEx(DWORD handle, int /*totalWidth*/, int /*x*/, int /*width*/, int /*totalHeight*/, int /*y*/, int /*height*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetCaptureWindowEx(DWORD handle, int* /*totalWidth*/, int* /*x*/, int* /*width*/, int* /*totalHeight*/, int* /*y*/, int* /*height*/) {
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

}  // extern "C"
