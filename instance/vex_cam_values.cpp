// Colour mode, capture window, mirrors, exposure, temperature, auto iris and
// the generic value interface of an instance.
#include <climits>
#include <cmath>

#include "instance/capture_engine.h"
#include "instance/value_table.h"
#include "instance/vex_cam.h"

namespace vexcam {

namespace {

// Bits per pixel of ColorMode 0..5.
constexpr int kColorModeBits[6] = {8, 16, 24, 32, 48, 64};

// The capture windows the camera's driver accepts.
bool IsAllowedWindow(const SensorConstants& row, int x, int width, int y, int height) {
  return AcceptsWindow(row, x, y, width, height);
}

bool InRange(int value, int minimum, int maximum) { return value >= minimum && value <= maximum; }

// Unsigned device range compared with a signed API value.
bool InDeviceRange(int value, uint32_t minimum, uint32_t maximum) {
  return value >= 0 && static_cast<uint32_t>(value) >= minimum &&
         static_cast<uint32_t>(value) <= maximum;
}

// Tenths of milliseconds of an exposure in seconds, truncated and kept in
// the 32-bit field.
int32_t SecondsToTenthsMs(double seconds) {
  const double t = std::trunc(seconds * 10000.0);
  if (!(t > INT32_MIN)) return INT32_MIN;
  if (!(t < INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(t);
}

}  // namespace

// ---------------------------------------------------------------- format and geometry

BOOL CVexCam::SetColorMode(int bits) {
  int mode = -1;
  for (int i = 0; i < 6; ++i) {
    if (kColorModeBits[i] == bits) mode = i;
  }
  if (mode < 0) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  if (camera) {
    // The camera's output capabilities: 8-bit samples, and Bayer colour.
    if (!camera->IsColorModeSupported() && (bits == 8 || bits == 32)) {
      Record(VEXCAM_ERR_INVALID_ARG);
      return 0;
    }
    if (!camera->IsSubSampleSupported() && (bits == 24 || bits == 32 || bits == 48 || bits == 64)) {
      Record(VEXCAM_ERR_INVALID_ARG);
      return 0;
    }
  }
  std::lock_guard<std::mutex> lock(settingsLock);
  imageSettings.colorMode = mode;
  return 1;
}

int CVexCam::GetColorMode() {
  std::lock_guard<std::mutex> lock(settingsLock);
  const int32_t mode = imageSettings.colorMode;
  return (mode >= 0 && mode < 6) ? kColorModeBits[mode] : -1;
}

BOOL CVexCam::SetSubSample(int code) {
  if (code != 0) return 0;
  std::lock_guard<std::mutex> lock(settingsLock);
  imageSettings.subSample = 0;
  return 1;
}

int CVexCam::GetSubSample() {
  std::lock_guard<std::mutex> lock(settingsLock);
  return imageSettings.subSample;
}

BOOL CVexCam::SetCaptureWindowEx(int totalWidth, int x, int width, int totalHeight, int y,
                                 int height) {
  if (!RequireCamera()) return 0;
  // The running capture was prepared for the current window.
  if (Capture().State() != kStateIdle) {
    Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  if ((!camera->CanChangeWidth() && width != TargetSensorWidth()) ||
      (!camera->CanChangeHeight() && height != TargetSensorHeight())) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // All six values are stored even when the window is not allowed; capture
  // preparation refuses such a window with the same code.
  int32_t subSample = 0;
  {
    std::lock_guard<std::mutex> lock(settingsLock);
    window.totalWidth = totalWidth;
    window.totalHeight = totalHeight;
    window.x = x;
    window.y = y;
    window.width = width;
    window.height = height;
    imageSettings.windowX = x;
    imageSettings.windowY = y;
    imageSettings.windowWidth = width;
    imageSettings.windowHeight = height;
    subSample = imageSettings.subSample;
  }
  if (!IsAllowedWindow(camera->SensorRow(), x, width, y, height)) {
    Record(VEXCAM_ERR_WINDOW_REJECTED);
    return 0;
  }
  // A camera that refuses the area (or none is open) fails the call; the
  // values stay stored and the next preparation asks the camera again.
  if (!camera->SetCaptureArea(static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                              static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                              static_cast<uint32_t>(subSample))) {
    Record(VEXCAM_ERR_WINDOW_REJECTED);
    return 0;
  }
  return 1;
}

BOOL CVexCam::GetCaptureWindowEx(int* totalWidth, int* x, int* width, int* totalHeight, int* y,
                                 int* height) {
  std::lock_guard<std::mutex> lock(settingsLock);
  if (totalWidth) *totalWidth = window.totalWidth;
  if (x) *x = window.x;
  if (width) *width = window.width;
  if (totalHeight) *totalHeight = window.totalHeight;
  if (y) *y = window.y;
  if (height) *height = window.height;
  return 1;
}

BOOL CVexCam::SetMirrorH(BOOL on) {
  if (!RequireCamera()) return 0;
  const int32_t flag = on != 0 ? 1 : 0;
  camera->SetMirrorH(static_cast<uint32_t>(flag));
  std::lock_guard<std::mutex> lock(settingsLock);
  analog.mirrorH = flag;
  imageSettings.mirrorH = flag;
  return 1;
}

BOOL CVexCam::SetMirrorV(BOOL on) {
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  const int32_t flag = on != 0 ? 1 : 0;
  camera->SetMirrorV(static_cast<uint32_t>(flag));
  std::lock_guard<std::mutex> lock(settingsLock);
  analog.mirrorV = flag;
  imageSettings.mirrorV = flag;
  return 1;
}

BOOL CVexCam::GetMirrorH() {
  std::lock_guard<std::mutex> lock(settingsLock);
  return analog.mirrorH;
}

BOOL CVexCam::GetMirrorV() {
  if (!camera) {
    Notify(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  std::lock_guard<std::mutex> lock(settingsLock);
  return analog.mirrorV;
}

BOOL CVexCam::SetConfigFilter(int on) {
  if (on != 0 && on != 1) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  std::lock_guard<std::mutex> lock(settingsLock);
  imageSettings.configFilter = on;
  return 1;
}

int CVexCam::GetConfigFilter() {
  std::lock_guard<std::mutex> lock(settingsLock);
  return imageSettings.configFilter;
}

// ---------------------------------------------------------------- exposure

BOOL CVexCam::SetRealExposureTime(int microseconds) {
  if (!RequireCamera()) return 0;
  const int t = microseconds / 100;
  if (!InDeviceRange(t, camera->GetExposureTimeMin(), camera->GetExposureTimeMax())) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(settingsLock);
    analog.exposureTime = t;
    analog.realExposureTime = t * 100;
  }
  // The whole value: exposures of the camera's range exceed 16 bits, and a
  // cut value would run the camera at another exposure than the stored one.
  camera->SetExposureTime(static_cast<uint32_t>(t));
  if (camera->IsExposureTimeExSupported()) {
    const double seconds = camera->GetExposureTimeEx();
    std::lock_guard<std::mutex> lock(settingsLock);
    analog.exposureTimeEx = seconds;
  }
  return 1;
}

int CVexCam::GetRealExposureTime(int* ok) {
  if (!camera) {
    if (ok) *ok = 0;
    Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  std::lock_guard<std::mutex> lock(settingsLock);
  // In range for every stored tenths-of-milliseconds value of a camera; the
  // product is formed in 64 bits so that a stray stored value cannot overflow.
  const int64_t us = static_cast<int64_t>(analog.exposureTime) * 100;
  analog.realExposureTime =
      static_cast<int32_t>(us > INT32_MAX ? INT32_MAX : (us < INT32_MIN ? INT32_MIN : us));
  if (ok) *ok = 1;
  return analog.realExposureTime;
}

BOOL CVexCam::SetExposureTimeEx(double seconds) {
  if (!RequireCamera()) return 0;
  if (!camera->IsExposureTimeExSupported()) {
    Record(VEXCAM_ERR_NOT_SUPPORTED);
    return 0;
  }
  if (!std::isfinite(seconds) || seconds < 0.0) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  if (!camera->SetExposureTimeEx(seconds)) return 0;
  std::lock_guard<std::mutex> lock(settingsLock);
  analog.exposureTimeEx = seconds;
  analog.exposureTime = SecondsToTenthsMs(seconds);
  return 1;
}

double CVexCam::GetExposureTimeEx(int* ok) {
  if (ok) *ok = 0;
  if (!RequireCamera()) return -1.0;
  if (!camera->IsExposureTimeExSupported()) {
    Record(VEXCAM_ERR_NOT_SUPPORTED);
    return -1.0;
  }
  uint32_t read = 0;
  const double seconds = camera->GetExposureTimeEx(&read);
  // Unreadable: -1.0 and ok 0, no code.
  if (!read) return -1.0;
  {
    std::lock_guard<std::mutex> lock(settingsLock);
    analog.exposureTimeEx = seconds;
  }
  if (ok) *ok = 1;
  return seconds;
}

// ---------------------------------------------------------------- temperature

int CVexCam::GetTemperature(int* ok) { return GetFilterValue(VEXCAM_VALUE_TEMPERATURE, ok); }

double CVexCam::GetTemperatureEx(int* ok) {
  if (ok) *ok = 0;
  if (!RequireCamera()) return 0.0;
  if (!camera->IsTemperatureSupported()) {
    Record(VEXCAM_ERR_NOT_SUPPORTED);
    return 0.0;
  }
  uint32_t read = 0;
  const double celsius = camera->GetTemperature(&read);
  if (!read) {
    Record(VEXCAM_ERR_FILE_OR_TEXT);
    return 0.0;
  }
  Record(VEXCAM_ERR_NONE);
  if (ok) *ok = 1;
  return celsius;
}

// ---------------------------------------------------------------- auto iris

BOOL CVexCam::SetAutoIris(int mode) {
  if (mode < 0 || mode > 2) {
    Notify(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  std::lock_guard<std::mutex> lock(settingsLock);
  analog.autoIris = mode;
  imageSettings.autoIrisMode = mode;
  return 1;
}

int CVexCam::GetAutoIris(int* ok) {
  if (ok) *ok = 1;
  std::lock_guard<std::mutex> lock(settingsLock);
  return analog.autoIris;
}

// ---------------------------------------------------------------- generic values

BOOL CVexCam::SetFilterValue(int id, int value) {
  if (!RequireCamera()) return 0;
  const ValueRow* row = FindValueRow(id);
  if (row == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  CVexCamU3K9Base& cam = *camera;
  if (row->supported != nullptr && !(cam.*row->supported)()) {
    Record(VEXCAM_ERR_NOT_SUPPORTED);
    return 0;
  }
  switch (row->set) {
    case SetRule::kStore:
      if (!InRange(value, row->min, row->max)) break;
      {
        std::lock_guard<std::mutex> lock(settingsLock);
        row->image(imageSettings) = value;
      }
      return 1;
    case SetRule::kStoreSwitch: {
      std::lock_guard<std::mutex> lock(settingsLock);
      row->image(imageSettings) = value != 0 ? 1 : 0;
      return 1;
    }
    case SetRule::kDevice:
      if (!InDeviceRange(value, (cam.*row->rangeMin)(nullptr), (cam.*row->rangeMax)(nullptr)))
        break;
      {
        std::lock_guard<std::mutex> lock(settingsLock);
        row->analog(analog) = value;
        if (row->alsoStore != nullptr) row->alsoStore(analog, value);
      }
      (cam.*row->write)(static_cast<uint32_t>(value));
      if (row->afterWrite != nullptr) row->afterWrite(*this);
      return 1;
    case SetRule::kHook:
      return row->setHook(*this, value) != 0 ? 1 : 0;
    case SetRule::kRefused:
      break;
  }
  Record(VEXCAM_ERR_INVALID_ARG);
  return 0;
}

int CVexCam::GetFilterValue(int id, int* ok) {
  if (ok) *ok = 0;
  if (!RequireCamera()) return 0;
  const ValueRow* row = FindValueRow(id);
  if (row == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  CVexCamU3K9Base& cam = *camera;
  if (row->supported != nullptr && !(cam.*row->supported)()) {
    Record(VEXCAM_ERR_NOT_SUPPORTED);
    return row->unsupportedResult;
  }
  switch (row->get) {
    case GetRule::kStored: {
      std::lock_guard<std::mutex> lock(settingsLock);
      if (ok) *ok = 1;
      return row->image(imageSettings);
    }
    case GetRule::kDevice: {
      // A failed read returns 0 with ok cleared; the ok flag is the report.
      uint32_t read = 0;
      const uint32_t value = (cam.*row->read)(&read);
      if (!read) return 0;
      if (ok) *ok = 1;
      return static_cast<int>(value);
    }
    case GetRule::kHook:
      return row->getHook(*this, ok);
    case GetRule::kNotSupported:
      Record(VEXCAM_ERR_NOT_SUPPORTED);
      return -1;
    case GetRule::kRefused:
      break;
  }
  Record(VEXCAM_ERR_INVALID_ARG);
  return 0;
}

namespace {

// Channel 1..4 to its value id; 0 for any other channel.
int ChannelId(int channel, int firstId) {
  return (channel >= 1 && channel <= 4) ? firstId + channel - 1 : 0;
}

}  // namespace

BOOL CVexCam::SetChannelGain(int channel, int value) {
  const int id = ChannelId(channel, VEXCAM_VALUE_CHANNEL_GAIN_1);
  return id != 0 ? SetFilterValue(id, value) : 0;
}

int CVexCam::GetChannelGain(int channel, int* ok) {
  const int id = ChannelId(channel, VEXCAM_VALUE_CHANNEL_GAIN_1);
  if (id == 0 && ok) *ok = 0;
  return id != 0 ? GetFilterValue(id, ok) : 0;
}

BOOL CVexCam::SetChannelOffset(int channel, int value) {
  const int id = ChannelId(channel, VEXCAM_VALUE_CHANNEL_OFFSET_1);
  return id != 0 ? SetFilterValue(id, value) : 0;
}

int CVexCam::GetChannelOffset(int channel, int* ok) {
  const int id = ChannelId(channel, VEXCAM_VALUE_CHANNEL_OFFSET_1);
  if (id == 0 && ok) *ok = 0;
  return id != 0 ? GetFilterValue(id, ok) : 0;
}

}  // namespace vexcam
