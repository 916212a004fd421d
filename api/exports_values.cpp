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
int VexCam_GetBrightness(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BRIGHTNESS, ok);
}
BOOL VexCam_SetBrightness(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BRIGHTNESS, value);
}

int VexCam_GetContrast(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_CONTRAST, ok);
}
BOOL VexCam_SetContrast(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_CONTRAST, value);
}

int VexCam_GetHue(DWORD handle, int* ok) { return GetValue(handle, VEXCAM_VALUE_HUE, ok); }
BOOL VexCam_SetHue(DWORD handle, int value) { return SetValue(handle, VEXCAM_VALUE_HUE, value); }

int VexCam_GetSaturation(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_SATURATION, ok);
}
BOOL VexCam_SetSaturation(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_SATURATION, value);
}

int VexCam_GetSharpness(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_SHARPNESS, ok);
}
BOOL VexCam_SetSharpness(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_SHARPNESS, value);
}

int VexCam_GetBayerGainRGB(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_GAIN_RGB, ok);
}
BOOL VexCam_SetBayerGainRGB(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_GAIN_RGB, value);
}

int VexCam_GetBayerGainRed(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_GAIN_RED, ok);
}
BOOL VexCam_SetBayerGainRed(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_GAIN_RED, value);
}

int VexCam_GetBayerGainGreen(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_GAIN_GREEN, ok);
}
BOOL VexCam_SetBayerGainGreen(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_GAIN_GREEN, value);
}

int VexCam_GetBayerGainBlue(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_GAIN_BLUE, ok);
}
BOOL VexCam_SetBayerGainBlue(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_GAIN_BLUE, value);
}

int VexCam_GetBayerGainAuto(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_GAIN_AUTO, ok);
}
BOOL VexCam_SetBayerGainAuto(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_GAIN_AUTO, value);
}

int VexCam_GetGamma(DWORD handle, int* ok) { return GetValue(handle, VEXCAM_VALUE_GAMMA, ok); }
BOOL VexCam_SetGamma(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GAMMA, value);
}

int VexCam_GetBayerMode(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_BAYER_MODE, ok);
}
BOOL VexCam_SetBayerMode(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_BAYER_MODE, value);
}

int VexCam_GetGlobalGain(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GLOBAL_GAIN, ok);
}
BOOL VexCam_SetGlobalGain(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GLOBAL_GAIN, value);
}

int VexCam_GetColorGainRed(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_COLOR_GAIN_RED, ok);
}
BOOL VexCam_SetColorGainRed(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_COLOR_GAIN_RED, value);
}

int VexCam_GetColorGainGreen1(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_COLOR_GAIN_GREEN1, ok);
}
BOOL VexCam_SetColorGainGreen1(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_COLOR_GAIN_GREEN1, value);
}

int VexCam_GetColorGainGreen2(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_COLOR_GAIN_GREEN2, ok);
}
BOOL VexCam_SetColorGainGreen2(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_COLOR_GAIN_GREEN2, value);
}

int VexCam_GetColorGainBlue(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_COLOR_GAIN_BLUE, ok);
}
BOOL VexCam_SetColorGainBlue(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_COLOR_GAIN_BLUE, value);
}

int VexCam_GetExposureTime(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_EXPOSURE_TIME, ok);
}
BOOL VexCam_SetExposureTime(DWORD handle, int tenthsOfMs) {
  return SetValue(handle, VEXCAM_VALUE_EXPOSURE_TIME, tenthsOfMs);
}

int VexCam_GetGrayMode(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_MODE, ok);
}
BOOL VexCam_SetGrayMode(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_MODE, value);
}

int VexCam_GetGrayGainR(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_GAIN_R, ok);
}
BOOL VexCam_SetGrayGainR(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_GAIN_R, value);
}

int VexCam_GetGrayGainG1(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_GAIN_G1, ok);
}
BOOL VexCam_SetGrayGainG1(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_GAIN_G1, value);
}

int VexCam_GetGrayGainG2(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_GAIN_G2, ok);
}
BOOL VexCam_SetGrayGainG2(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_GAIN_G2, value);
}

int VexCam_GetGrayGainB(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_GAIN_B, ok);
}
BOOL VexCam_SetGrayGainB(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_GAIN_B, value);
}

int VexCam_GetGrayOffsetR(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_R, ok);
}
BOOL VexCam_SetGrayOffsetR(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_R, value);
}

int VexCam_GetGrayOffsetG1(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_G1, ok);
}
BOOL VexCam_SetGrayOffsetG1(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_G1, value);
}

int VexCam_GetGrayOffsetG2(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_G2, ok);
}
BOOL VexCam_SetGrayOffsetG2(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_G2, value);
}

int VexCam_GetGrayOffsetB(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_B, ok);
}
BOOL VexCam_SetGrayOffsetB(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_GRAY_OFFSET_B, value);
}

int VexCam_GetPeltier(DWORD handle, int* ok) { return GetValue(handle, VEXCAM_VALUE_PELTIER, ok); }
BOOL VexCam_SetPeltier(DWORD handle, int on) { return SetValue(handle, VEXCAM_VALUE_PELTIER, on); }

int VexCam_GetDotFilter(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_DOT_FILTER, ok);
}
BOOL VexCam_SetDotFilter(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_DOT_FILTER, value);
}

int VexCam_GetMaskFilter(DWORD handle, int* ok) {
  return GetValue(handle, VEXCAM_VALUE_MASK_FILTER, ok);
}
BOOL VexCam_SetMaskFilter(DWORD handle, int value) {
  return SetValue(handle, VEXCAM_VALUE_MASK_FILTER, value);
}

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

}  // extern "C"
