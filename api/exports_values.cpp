// Colour mode, window, mirrors, exposure, temperature, gains and the generic
// value interface. The named getters and setters are aliases of the generic
// interface with a fixed value id.
#include "api/dispatch.h"
#include "instance/vex_cam.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::api::Dispatch;

namespace {

int GetValue(DWORD handle, int id, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetFilterValue(id, ok); });
}

BOOL SetValue(DWORD handle, int id, int value) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetFilterValue(id, value); });
}

}  // namespace

extern "C" {

// A getter and setter pair that aliases one id of the generic value interface.
#define VEXCAM_VALUE_ACCESSORS(Name, id)                                           \
  int VexCam_Get##Name(DWORD handle, int* ok) { return GetValue(handle, id, ok); } \
  BOOL VexCam_Set##Name(DWORD handle, int value) { return SetValue(handle, id, value); }

BOOL VexCam_SetColorMode(DWORD handle, int bits) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetColorMode(bits); });
}

int VexCam_GetColorMode(DWORD handle) {
  return Dispatch(handle, -1, [](CVexCam& cam) { return cam.GetColorMode(); });
}

BOOL VexCam_SetSubSample(DWORD handle, int code) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetSubSample(code); });
}

int VexCam_GetSubSample(DWORD handle) {
  return Dispatch(handle, -1, [](CVexCam& cam) { return cam.GetSubSample(); });
}

BOOL VexCam_SetCaptureWindowEx(DWORD handle, int totalWidth, int x, int width, int totalHeight,
                               int y, int height) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) {
    return cam.SetCaptureWindowEx(totalWidth, x, width, totalHeight, y, height);
  });
}

BOOL VexCam_GetCaptureWindowEx(DWORD handle, int* totalWidth, int* x, int* width, int* totalHeight,
                               int* y, int* height) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) {
    return cam.GetCaptureWindowEx(totalWidth, x, width, totalHeight, y, height);
  });
}

BOOL VexCam_SetMirrorH(DWORD handle, BOOL on) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetMirrorH(on); });
}

BOOL VexCam_SetMirrorV(DWORD handle, BOOL on) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetMirrorV(on); });
}

BOOL VexCam_GetMirrorH(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [](CVexCam& cam) { return cam.GetMirrorH(); });
}

BOOL VexCam_GetMirrorV(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [](CVexCam& cam) { return cam.GetMirrorV(); });
}

BOOL VexCam_SetConfigFilter(DWORD handle, int on) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetConfigFilter(on); });
}

int VexCam_GetConfigFilter(DWORD handle) {
  return Dispatch(handle, 0, [](CVexCam& cam) { return cam.GetConfigFilter(); });
}

BOOL VexCam_SetRealExposureTime(DWORD handle, int microseconds) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.SetRealExposureTime(microseconds); });
}

int VexCam_GetRealExposureTime(DWORD handle, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetRealExposureTime(ok); });
}

BOOL VexCam_SetExposureTimeEx(DWORD handle, double seconds) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetExposureTimeEx(seconds); });
}

double VexCam_GetExposureTimeEx(DWORD handle, int* ok) {
  return Dispatch(handle, 0.0, [&](CVexCam& cam) { return cam.GetExposureTimeEx(ok); });
}

int VexCam_GetTemperature(DWORD handle, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetTemperature(ok); });
}

double VexCam_GetTemperatureEx(DWORD handle, int* ok) {
  return Dispatch(handle, 0.0, [&](CVexCam& cam) { return cam.GetTemperatureEx(ok); });
}

BOOL VexCam_SetAutoIris(DWORD handle, int mode) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetAutoIris(mode); });
}

int VexCam_GetAutoIris(DWORD handle, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetAutoIris(ok); });
}

BOOL VexCam_SetFilterValue(DWORD handle, int id, int value) { return SetValue(handle, id, value); }

int VexCam_GetFilterValue(DWORD handle, int id, int* ok) { return GetValue(handle, id, ok); }

VEXCAM_VALUE_ACCESSORS(Brightness, VEXCAM_VALUE_BRIGHTNESS)
VEXCAM_VALUE_ACCESSORS(Contrast, VEXCAM_VALUE_CONTRAST)
VEXCAM_VALUE_ACCESSORS(Hue, VEXCAM_VALUE_HUE)
VEXCAM_VALUE_ACCESSORS(Saturation, VEXCAM_VALUE_SATURATION)
VEXCAM_VALUE_ACCESSORS(Sharpness, VEXCAM_VALUE_SHARPNESS)
VEXCAM_VALUE_ACCESSORS(BayerGainRGB, VEXCAM_VALUE_BAYER_GAIN_RGB)
VEXCAM_VALUE_ACCESSORS(BayerGainRed, VEXCAM_VALUE_BAYER_GAIN_RED)
VEXCAM_VALUE_ACCESSORS(BayerGainGreen, VEXCAM_VALUE_BAYER_GAIN_GREEN)
VEXCAM_VALUE_ACCESSORS(BayerGainBlue, VEXCAM_VALUE_BAYER_GAIN_BLUE)
VEXCAM_VALUE_ACCESSORS(BayerGainAuto, VEXCAM_VALUE_BAYER_GAIN_AUTO)
VEXCAM_VALUE_ACCESSORS(Gamma, VEXCAM_VALUE_GAMMA)
VEXCAM_VALUE_ACCESSORS(BayerMode, VEXCAM_VALUE_BAYER_MODE)
VEXCAM_VALUE_ACCESSORS(GlobalGain, VEXCAM_VALUE_GLOBAL_GAIN)
VEXCAM_VALUE_ACCESSORS(ColorGainRed, VEXCAM_VALUE_COLOR_GAIN_RED)
VEXCAM_VALUE_ACCESSORS(ColorGainGreen1, VEXCAM_VALUE_COLOR_GAIN_GREEN1)
VEXCAM_VALUE_ACCESSORS(ColorGainGreen2, VEXCAM_VALUE_COLOR_GAIN_GREEN2)
VEXCAM_VALUE_ACCESSORS(ColorGainBlue, VEXCAM_VALUE_COLOR_GAIN_BLUE)
VEXCAM_VALUE_ACCESSORS(ExposureTime, VEXCAM_VALUE_EXPOSURE_TIME)
VEXCAM_VALUE_ACCESSORS(GrayMode, VEXCAM_VALUE_GRAY_MODE)
VEXCAM_VALUE_ACCESSORS(GrayGainR, VEXCAM_VALUE_GRAY_GAIN_R)
VEXCAM_VALUE_ACCESSORS(GrayGainG1, VEXCAM_VALUE_GRAY_GAIN_G1)
VEXCAM_VALUE_ACCESSORS(GrayGainG2, VEXCAM_VALUE_GRAY_GAIN_G2)
VEXCAM_VALUE_ACCESSORS(GrayGainB, VEXCAM_VALUE_GRAY_GAIN_B)
VEXCAM_VALUE_ACCESSORS(GrayOffsetR, VEXCAM_VALUE_GRAY_OFFSET_R)
VEXCAM_VALUE_ACCESSORS(GrayOffsetG1, VEXCAM_VALUE_GRAY_OFFSET_G1)
VEXCAM_VALUE_ACCESSORS(GrayOffsetG2, VEXCAM_VALUE_GRAY_OFFSET_G2)
VEXCAM_VALUE_ACCESSORS(GrayOffsetB, VEXCAM_VALUE_GRAY_OFFSET_B)
VEXCAM_VALUE_ACCESSORS(Peltier, VEXCAM_VALUE_PELTIER)
VEXCAM_VALUE_ACCESSORS(DotFilter, VEXCAM_VALUE_DOT_FILTER)
VEXCAM_VALUE_ACCESSORS(MaskFilter, VEXCAM_VALUE_MASK_FILTER)

int VexCam_GetChannelGain(DWORD handle, int channel, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetChannelGain(channel, ok); });
}

BOOL VexCam_SetChannelGain(DWORD handle, int channel, int value) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.SetChannelGain(channel, value); });
}

int VexCam_GetChannelOffset(DWORD handle, int channel, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.GetChannelOffset(channel, ok); });
}

BOOL VexCam_SetChannelOffset(DWORD handle, int channel, int value) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.SetChannelOffset(channel, value); });
}

#undef VEXCAM_VALUE_ACCESSORS

}  // extern "C"
