#include "instance/value_table.h"

#include <mutex>

#include "instance/vex_cam.h"

namespace vexcam {

namespace {

using Cam = CVexCamU3K9Base;

template <int32_t ImageSettings::*F>
int32_t& Image(ImageSettings& s) {
  return s.*F;
}
template <int Phase>
int32_t& GrayGain(ImageSettings& s) {
  return s.grayGain[Phase];
}
template <int Phase>
int32_t& GrayOffset(ImageSettings& s) {
  return s.grayOffset[Phase];
}
template <int32_t AnalogSettings::*F>
int32_t& Analog(AnalogSettings& a) {
  return a.*F;
}

int Succeed(int* ok, int value) {
  if (ok) *ok = 1;
  return value;
}

// ---- Hooks of the values whose behaviour is their own ----

// Id 6: the three white-balance gains packed as red | green << 8 | blue << 16,
// stored without a range test.
int SetBayerGainRgb(CVexCam& cam, int value) {
  const auto v = static_cast<uint32_t>(value);
  std::lock_guard<std::mutex> lock(cam.SettingsLock());
  cam.ImageBlock().bayerGainRed = static_cast<int32_t>(v & 0xFF);
  cam.ImageBlock().bayerGainGreen = static_cast<int32_t>((v >> 8) & 0xFF);
  cam.ImageBlock().bayerGainBlue = static_cast<int32_t>((v >> 16) & 0xFF);
  return 1;
}

int GetBayerGainRgb(CVexCam& cam, int* ok) {
  std::lock_guard<std::mutex> lock(cam.SettingsLock());
  const ImageSettings& s = cam.ImageBlock();
  const uint32_t rgb = (static_cast<uint32_t>(s.bayerGainRed) & 0xFF) |
                       ((static_cast<uint32_t>(s.bayerGainGreen) & 0xFF) << 8) |
                       ((static_cast<uint32_t>(s.bayerGainBlue) & 0xFF) << 16);
  return Succeed(ok, static_cast<int>(rgb));
}

// Id 13 sets the four colour gains along with the global gain.
void AlsoColorGains(AnalogSettings& a, int32_t value) {
  a.colorGainRed = a.colorGainGreen1 = a.colorGainGreen2 = a.colorGainBlue = value;
}

// Id 18: the camera's extended exposure follows the new exposure time.
void ReadBackExposureEx(CVexCam& cam) {
  if (!cam.Camera()->IsExposureTimeExSupported()) return;
  const double seconds = cam.Camera()->GetExposureTimeEx();
  std::lock_guard<std::mutex> lock(cam.SettingsLock());
  cam.AnalogBlock().exposureTimeEx = seconds;
}

// Id 100: a refused switch fails without a code.
int SetPeltier(CVexCam& cam, int value) {
  const uint32_t on = value != 0 ? 1 : 0;
  if (!cam.Camera()->SetPeltier(on)) return 0;
  std::lock_guard<std::mutex> lock(cam.SettingsLock());
  cam.AnalogBlock().coolingOn = static_cast<int32_t>(on);
  return 1;
}

int GetPeltier(CVexCam& cam, int* ok) {
  return Succeed(ok, static_cast<int>(cam.Camera()->GetPeltier()));
}

// Id 104: passed to the camera as it is.
int SetCorrectionMode(CVexCam& cam, int value) {
  return cam.Camera()->SetCorrectionMode(static_cast<uint32_t>(value)) != 0 ? 1 : 0;
}

int GetCorrectionMode(CVexCam& cam, int* ok) {
  return Succeed(ok, static_cast<int>(cam.Camera()->GetCorrectionMode()));
}

// Id 105: a switch (value >= 1 is on); device failures record device I/O.
int SetAutoCorrection(CVexCam& cam, int value) {
  const uint32_t on = value >= 1 ? 1 : 0;
  if (!cam.Camera()->SetAutoCorrection(on)) {
    cam.Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  std::lock_guard<std::mutex> lock(cam.SettingsLock());
  cam.AnalogBlock().autoCorrection = static_cast<int32_t>(on);
  return 1;
}

int GetAutoCorrection(CVexCam& cam, int* ok) {
  uint32_t read = 0;
  const uint32_t on = cam.Camera()->GetAutoCorrection(&read);
  if (!read) {
    cam.Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  cam.Record(VEXCAM_ERR_NONE);
  return Succeed(ok, on != 0 ? 1 : 0);
}

// Id 106: successes record the success report, failures device I/O.
int SetAnalogGain(CVexCam& cam, int value) {
  if (value < 0 || !cam.Camera()->SetAnalogGain(static_cast<uint32_t>(value))) {
    cam.Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(cam.SettingsLock());
    cam.AnalogBlock().analogGain = value;
  }
  cam.Record(VEXCAM_ERR_NONE);
  return 1;
}

int GetAnalogGain(CVexCam& cam, int* ok) {
  uint32_t read = 0;
  const uint32_t gain = cam.Camera()->GetAnalogGain(&read);
  if (!read) {
    cam.Record(VEXCAM_ERR_DEVICE_IO);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(cam.SettingsLock());
    cam.AnalogBlock().analogGain = static_cast<int32_t>(gain);
  }
  cam.Record(VEXCAM_ERR_NONE);
  return Succeed(ok, static_cast<int>(gain));
}

// ---- Row builders ----

constexpr ValueRow Stored(int id, const char* group, const char* name, ImageField field,
                          int32_t defaultValue, int32_t min, int32_t max) {
  return {.id = id,
          .set = SetRule::kStore,
          .get = GetRule::kStored,
          .group = group,
          .name = name,
          .image = field,
          .defaultValue = defaultValue,
          .min = min,
          .max = max};
}

constexpr ValueRow ColorGain(int id, const char* name, AnalogField field, DeviceWrite write,
                             DeviceRead read) {
  return {.id = id,
          .set = SetRule::kDevice,
          .get = GetRule::kDevice,
          .group = "Gain",
          .name = name,
          .analog = field,
          .rangeMin = &Cam::GetColorGainMin,
          .rangeMax = &Cam::GetColorGainMax,
          .write = write,
          .read = read,
          .deviceDefault = &Cam::GetColorGainDefault};
}

constexpr ValueRow Refused(int id) { return {.id = id}; }

constexpr ValueRow Hooked(int id, int (*set)(CVexCam&, int), int (*get)(CVexCam&, int*),
                          DeviceCheck supported = nullptr, int unsupportedResult = 0) {
  return {.id = id,
          .set = SetRule::kHook,
          .get = GetRule::kHook,
          .supported = supported,
          .unsupportedResult = unsupportedResult,
          .setHook = set,
          .getHook = get};
}

constexpr ValueRow kRows[] = {
    Stored(VEXCAM_VALUE_BRIGHTNESS, "Filter", "Brightness", &Image<&ImageSettings::brightness>, 0,
           -255, 255),
    Stored(VEXCAM_VALUE_CONTRAST, "Filter", "Contrast", &Image<&ImageSettings::contrast>, 0, -127,
           127),
    Stored(VEXCAM_VALUE_HUE, "Filter", "Hue", &Image<&ImageSettings::hue>, 0, -360, 360),
    Stored(VEXCAM_VALUE_SATURATION, "Filter", "Saturation", &Image<&ImageSettings::saturation>, 0,
           -255, 255),
    Stored(VEXCAM_VALUE_SHARPNESS, "Filter", "Sharpness", &Image<&ImageSettings::sharpness>, 0, 0,
           30),
    Hooked(VEXCAM_VALUE_BAYER_GAIN_RGB, &SetBayerGainRgb, &GetBayerGainRgb),
    Stored(VEXCAM_VALUE_BAYER_GAIN_RED, "Filter", "R_Gain", &Image<&ImageSettings::bayerGainRed>,
           100, 0, 400),
    Stored(VEXCAM_VALUE_BAYER_GAIN_GREEN, "Filter", "G_Gain",
           &Image<&ImageSettings::bayerGainGreen>, 100, 0, 400),
    Stored(VEXCAM_VALUE_BAYER_GAIN_BLUE, "Filter", "B_Gain", &Image<&ImageSettings::bayerGainBlue>,
           100, 0, 400),
    {.id = VEXCAM_VALUE_BAYER_GAIN_AUTO,
     .set = SetRule::kStoreSwitch,
     .get = GetRule::kStored,
     .image = &Image<&ImageSettings::bayerGainAuto>},
    Stored(VEXCAM_VALUE_GAMMA, "Filter", "Gamma", &Image<&ImageSettings::gamma>, 100, 0, 200),
    Stored(VEXCAM_VALUE_BAYER_MODE, "Filter", "BayerMode", &Image<&ImageSettings::bayerMode>, 0, 0,
           3),
    {.id = VEXCAM_VALUE_GLOBAL_GAIN,
     .set = SetRule::kDevice,
     .get = GetRule::kDevice,
     .group = "Gain",
     .name = "Global",
     .analog = &Analog<&AnalogSettings::globalGain>,
     .rangeMin = &Cam::GetGlobalGainMin,
     .rangeMax = &Cam::GetGlobalGainMax,
     .write = &Cam::SetGlobalGain,
     .read = &Cam::GetGlobalGain,
     .deviceDefault = &Cam::GetGlobalGainDefault,
     .alsoStore = &AlsoColorGains},
    ColorGain(VEXCAM_VALUE_COLOR_GAIN_RED, "ColorR", &Analog<&AnalogSettings::colorGainRed>,
              &Cam::SetColorGainRed, &Cam::GetColorGainRed),
    ColorGain(VEXCAM_VALUE_COLOR_GAIN_GREEN1, "ColorG1", &Analog<&AnalogSettings::colorGainGreen1>,
              &Cam::SetColorGainGreen1, &Cam::GetColorGainGreen1),
    ColorGain(VEXCAM_VALUE_COLOR_GAIN_GREEN2, "ColorG2", &Analog<&AnalogSettings::colorGainGreen2>,
              &Cam::SetColorGainGreen2, &Cam::GetColorGainGreen2),
    ColorGain(VEXCAM_VALUE_COLOR_GAIN_BLUE, "ColorB", &Analog<&AnalogSettings::colorGainBlue>,
              &Cam::SetColorGainBlue, &Cam::GetColorGainBlue),
    {.id = VEXCAM_VALUE_EXPOSURE_TIME,
     .set = SetRule::kDevice,
     .get = GetRule::kDevice,
     .group = "Gain",
     .name = "Exposure",
     .analog = &Analog<&AnalogSettings::exposureTime>,
     .rangeMin = &Cam::GetExposureTimeMin,
     .rangeMax = &Cam::GetExposureTimeMax,
     .write = &Cam::SetExposureTime,
     .read = &Cam::GetExposureTime,
     .deviceDefault = &Cam::GetExposureTimeDefault,
     .afterWrite = &ReadBackExposureEx},
    Stored(VEXCAM_VALUE_GRAY_MODE, "Gray", "Mode", &Image<&ImageSettings::grayMode>, 0, 0, 2),
    Stored(VEXCAM_VALUE_GRAY_GAIN_R, "Gray", "GainR1", &GrayGain<kGrayPhaseR>, 128, 0, 255),
    Stored(VEXCAM_VALUE_GRAY_GAIN_G1, "Gray", "GainG1", &GrayGain<kGrayPhaseG1>, 128, 0, 255),
    Stored(VEXCAM_VALUE_GRAY_GAIN_G2, "Gray", "GainG2", &GrayGain<kGrayPhaseG2>, 128, 0, 255),
    Stored(VEXCAM_VALUE_GRAY_GAIN_B, "Gray", "GainB1", &GrayGain<kGrayPhaseB>, 128, 0, 255),
    Stored(VEXCAM_VALUE_GRAY_OFFSET_R, "Gray", "OffsetR1", &GrayOffset<kGrayPhaseR>, 128, -255,
           255),
    Stored(VEXCAM_VALUE_GRAY_OFFSET_G1, "Gray", "OffsetG1", &GrayOffset<kGrayPhaseG1>, 128, -255,
           255),
    Stored(VEXCAM_VALUE_GRAY_OFFSET_G2, "Gray", "OffsetG2", &GrayOffset<kGrayPhaseG2>, 128, -255,
           255),
    Stored(VEXCAM_VALUE_GRAY_OFFSET_B, "Gray", "OffsetB1", &GrayOffset<kGrayPhaseB>, 128, -255,
           255),
    // One automatic gray adjustment: a request, so it cannot be read back.
    {.id = VEXCAM_VALUE_AUTO_GRAY,
     .set = SetRule::kStore,
     .get = GetRule::kRefused,
     .image = &Image<&ImageSettings::grayAutoRequest>,
     .min = 0,
     .max = 1},
    // Channel gains and offsets of channels 1..4.
    Refused(VEXCAM_VALUE_CHANNEL_GAIN_1),
    Refused(VEXCAM_VALUE_CHANNEL_GAIN_1 + 1),
    Refused(VEXCAM_VALUE_CHANNEL_GAIN_1 + 2),
    Refused(VEXCAM_VALUE_CHANNEL_GAIN_1 + 3),
    Refused(VEXCAM_VALUE_CHANNEL_OFFSET_1),
    Refused(VEXCAM_VALUE_CHANNEL_OFFSET_1 + 1),
    Refused(VEXCAM_VALUE_CHANNEL_OFFSET_1 + 2),
    Refused(VEXCAM_VALUE_CHANNEL_OFFSET_1 + 3),
    Hooked(VEXCAM_VALUE_PELTIER, &SetPeltier, &GetPeltier, &Cam::IsPeltierSupported, -1),
    {.id = VEXCAM_VALUE_TEMPERATURE, .set = SetRule::kRefused, .get = GetRule::kNotSupported},
    Stored(VEXCAM_VALUE_DOT_FILTER, nullptr, nullptr, &Image<&ImageSettings::dotFilter>, 0, 0, 1),
    Stored(VEXCAM_VALUE_MASK_FILTER, nullptr, nullptr, &Image<&ImageSettings::maskFilter>, 0, 0, 1),
    Hooked(VEXCAM_VALUE_CORRECTION_MODE, &SetCorrectionMode, &GetCorrectionMode),
    Hooked(VEXCAM_VALUE_AUTO_CORRECTION, &SetAutoCorrection, &GetAutoCorrection,
           &Cam::HasAutoCorrection),
    {.id = VEXCAM_VALUE_ANALOG_GAIN,
     .set = SetRule::kHook,
     .get = GetRule::kHook,
     .group = "Gain",
     .name = "BlackLevel",
     .analog = &Analog<&AnalogSettings::analogGain>,
     .deviceDefault = &Cam::GetAnalogGainDefault,
     .supported = &Cam::IsAnalogGainSupported,
     .setHook = &SetAnalogGain,
     .getHook = &GetAnalogGain},
};

}  // namespace

std::span<const ValueRow> ValueRows() { return kRows; }

const ValueRow* FindValueRow(int id) {
  for (const ValueRow& row : kRows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

}  // namespace vexcam
