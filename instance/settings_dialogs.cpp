#include "instance/settings_dialogs.h"

#include <cmath>
#include <vector>

#include "instance/capture_engine.h"
#include "instance/settings_persistence.h"
#include "platform/dialog_module_loader.h"
#include "platform/x11_window_handle.h"

namespace vexcam {

namespace {

using dialogs::AnalogCamera;
using dialogs::AnalogItem;
using dialogs::AnalogValues;
using dialogs::ImageItem;
using dialogs::ImageValues;

bool CameraIsOpen(const CVexCam& cam) { return cam.Camera() && cam.Camera()->Sensor() != nullptr; }

int32_t AsInt(uint32_t v) { return static_cast<int32_t>(v); }
uint32_t AsDevice(int32_t v) { return v < 0 ? 0u : static_cast<uint32_t>(v); }

// The module ready on this thread, or null with code 4 recorded.
const dialogs::DialogApi* ReadyModule(CVexCam& cam) {
  const dialogs::DialogApi* api = LoadDialogModule();
  if (api == nullptr || api->ready() == 0) {
    cam.Record(VEXCAM_ERR_NO_WINDOW);
    return nullptr;
  }
  return api;
}

// ---- Camera dialog ----

class CameraHost final : public dialogs::ICameraDialogHost {
 public:
  explicit CameraHost(CVexCam& cam) : cam_(cam) {}

  dialogs::CameraCaps Caps() override {
    CVexCamU3K9Base& c = *cam_.Camera();
    dialogs::CameraCaps caps;
    caps.has8Bit = c.IsColorModeSupported() != 0;
    caps.has16Bit = c.IsBinningSupported() != 0;
    caps.hasColor = c.IsSubSampleSupported() != 0;
    caps.canChangeWidth = c.CanChangeWidth() != 0;
    caps.canChangeHeight = c.CanChangeHeight() != 0;
    return caps;
  }

  bool ReadCameraKey(dialogs::CameraKey* values) override {
    CameraKeyValues v;
    v.sizeIndex = values->size;
    v.colorMode = values->color;
    v.subSample = values->subSample;
    v.waitTime = values->waitTime;
    v.clock = values->clock;
    if (!ReadCameraKeyValues(cam_, &v)) return false;
    *values = {v.sizeIndex, v.colorMode, v.subSample, v.waitTime, v.clock};
    return true;
  }

  void SaveCameraSettings(const dialogs::SizePreset* presets, int count,
                          const dialogs::CameraKey& values) override {
    std::vector<CaptureWindow> list;
    for (int i = 0; i < count; ++i) {
      const dialogs::SizePreset& p = presets[i];
      list.push_back(
          CaptureWindow{p.totalWidth, p.totalHeight, p.width, p.height, p.x, p.y, p.buffers});
    }
    CameraKeyValues v;
    v.sizeIndex = values.size;
    v.colorMode = values.color;
    v.subSample = values.subSample;
    v.waitTime = values.waitTime;
    v.clock = values.clock;
    vexcam::SaveCameraSettings(cam_, list, v);
  }

 private:
  CVexCam& cam_;
};

// ---- Analog dialog ----

class AnalogHost final : public dialogs::IAnalogDialogHost {
 public:
  explicit AnalogHost(CVexCam& cam) : cam_(cam), c_(*cam.Camera()) {}
  ~AnalogHost() { cam_.dialogViews.SetAnalog(nullptr); }

  void Read(AnalogValues* v, AnalogCamera* info) override {
    {
      std::lock_guard<std::mutex> lock(cam_.SettingsLock());
      const AnalogSettings& a = cam_.AnalogBlock();
      v->globalGain = a.globalGain;
      v->colorGainGreen1 = a.colorGainGreen1;
      v->colorGainRed = a.colorGainRed;
      v->colorGainBlue = a.colorGainBlue;
      v->colorGainGreen2 = a.colorGainGreen2;
      v->exposureTime = a.exposureTime;
      v->mirrorV = a.mirrorV;
      v->mirrorH = a.mirrorH;
      v->autoIris = a.autoIris;
      v->blackLevel = a.analogGain;
      v->peltier = a.coolingOn;
      v->shortExposure = a.autoCorrection;
      v->gainMode = a.gainMode;
      v->exposureTimeEx = a.exposureTimeEx;
    }
    if (info == nullptr) return;
    info->globalGain = {AsInt(c_.GetGlobalGainMin()), AsInt(c_.GetGlobalGainMax()),
                        AsInt(c_.GetGlobalGainDefault())};
    info->colorGain = {AsInt(c_.GetColorGainMin()), AsInt(c_.GetColorGainMax()),
                       AsInt(c_.GetColorGainDefault())};
    info->exposureTime = {AsInt(c_.GetExposureTimeMin()), AsInt(c_.GetExposureTimeMax()),
                          AsInt(c_.GetExposureTimeDefault())};
    info->exposureExSupported = c_.IsExposureTimeExSupported() != 0;
    if (info->exposureExSupported) {
      uint32_t ok = 0;
      info->exposureExMin = c_.GetExposureTimeExMin();
      info->exposureExMax = c_.GetExposureTimeExMax();
      info->exposureEx = c_.GetExposureTimeEx();
      info->exposureExDefault = c_.GetExposureTimeExDefault(&ok);
      info->exposureExDefaultOk = ok != 0 && std::isfinite(info->exposureExDefault);
    }
    info->blackLevelSupported = c_.IsAnalogGainSupported() != 0;
    if (info->blackLevelSupported) {
      info->blackLevel = {AsInt(c_.GetAnalogGainMin()), AsInt(c_.GetAnalogGainMax()),
                          AsInt(c_.GetAnalogGainDefault())};
    }
    info->peltierSupported = c_.IsPeltierSupported() != 0;
    info->autoCorrectionSupported = c_.HasAutoCorrection() != 0;
    info->correctionModeSupported = c_.HasCorrectionMode() != 0;
    info->correctionMode = info->correctionModeSupported ? AsInt(c_.GetCorrectionMode()) : -1;
  }

  void Set(AnalogItem item, int32_t value) override {
    const uint32_t device = AsDevice(value);
    const int32_t flag = value != 0 ? 1 : 0;
    switch (item) {
      case AnalogItem::kGlobalGain:
        c_.SetGlobalGain(device);
        break;
      case AnalogItem::kColorGainGreen1:
        c_.SetColorGainGreen1(device);
        break;
      case AnalogItem::kColorGainRed:
        c_.SetColorGainRed(device);
        break;
      case AnalogItem::kColorGainBlue:
        c_.SetColorGainBlue(device);
        break;
      case AnalogItem::kColorGainGreen2:
        c_.SetColorGainGreen2(device);
        break;
      case AnalogItem::kBlackLevel:
        c_.SetAnalogGain(device);
        break;
      case AnalogItem::kMirrorV:
        c_.SetMirrorV(static_cast<uint32_t>(flag));
        break;
      case AnalogItem::kMirrorH:
        c_.SetMirrorH(static_cast<uint32_t>(flag));
        break;
      case AnalogItem::kAutoIris:
        break;
      case AnalogItem::kPeltier:
        c_.SetPeltier(static_cast<uint32_t>(flag));
        break;
      case AnalogItem::kShortExposure:
        c_.SetAutoCorrection(static_cast<uint32_t>(flag));
        break;
      case AnalogItem::kGainMode:
        c_.SetCorrectionMode(device);
        break;
    }
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    AnalogSettings& a = cam_.AnalogBlock();
    switch (item) {
      case AnalogItem::kGlobalGain:
        a.globalGain = value;
        break;
      case AnalogItem::kColorGainGreen1:
        a.colorGainGreen1 = value;
        break;
      case AnalogItem::kColorGainRed:
        a.colorGainRed = value;
        break;
      case AnalogItem::kColorGainBlue:
        a.colorGainBlue = value;
        break;
      case AnalogItem::kColorGainGreen2:
        a.colorGainGreen2 = value;
        break;
      case AnalogItem::kBlackLevel:
        a.analogGain = value;
        break;
      case AnalogItem::kMirrorV:
        a.mirrorV = cam_.ImageBlock().mirrorV = flag;
        break;
      case AnalogItem::kMirrorH:
        a.mirrorH = cam_.ImageBlock().mirrorH = flag;
        break;
      case AnalogItem::kAutoIris:
        if (value >= 0 && value <= 2) a.autoIris = cam_.ImageBlock().autoIrisMode = value;
        break;
      case AnalogItem::kPeltier:
        a.coolingOn = flag;
        break;
      case AnalogItem::kShortExposure:
        a.autoCorrection = flag;
        break;
      case AnalogItem::kGainMode:
        a.gainMode = value;
        break;
    }
  }

  int32_t SetExposureTime(int32_t tenthsMs) override {
    c_.SetExposureTime(AsDevice(tenthsMs));
    return StoreExposureReadBack(tenthsMs, nullptr);
  }

  int32_t SetExposureTimeEx(double seconds) override {
    // NaN, infinite and negative times never reach the camera.
    if (!std::isfinite(seconds) || seconds < 0.0) {
      std::lock_guard<std::mutex> lock(cam_.SettingsLock());
      return cam_.AnalogBlock().exposureTime;
    }
    c_.SetExposureTimeEx(seconds);
    return StoreExposureReadBack(-1, &seconds);
  }

  void Commit(const AnalogValues& v) override {
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    Assign(v);
  }

  void Restore(const AnalogValues& v) override {
    {
      std::lock_guard<std::mutex> lock(cam_.SettingsLock());
      Assign(v);
    }
    c_.SetColorGainGreen1(AsDevice(v.colorGainGreen1));
    c_.SetColorGainRed(AsDevice(v.colorGainRed));
    c_.SetColorGainBlue(AsDevice(v.colorGainBlue));
    c_.SetColorGainGreen2(AsDevice(v.colorGainGreen2));
    c_.SetGlobalGain(AsDevice(v.globalGain));
    if (c_.IsExposureTimeExSupported()) {
      c_.SetExposureTimeEx(v.exposureTimeEx);
    } else {
      c_.SetExposureTime(AsDevice(v.exposureTime));
    }
    c_.SetMirrorV(v.mirrorV != 0 ? 1 : 0);
    c_.SetMirrorH(v.mirrorH != 0 ? 1 : 0);
  }

  void Watch(dialogs::IDialogView* view) override { cam_.dialogViews.SetAnalog(view); }

 private:
  // Records the camera's exposure read back (fallback when the read fails)
  // and, when given, the extended exposure.
  int32_t StoreExposureReadBack(int32_t fallback, const double* seconds) {
    uint32_t ok = 0;
    const uint32_t read = c_.GetExposureTime(&ok);
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    AnalogSettings& a = cam_.AnalogBlock();
    if (ok != 0) {
      a.exposureTime = AsInt(read);
    } else if (fallback >= 0) {
      a.exposureTime = fallback;
    }
    a.realExposureTime = a.exposureTime * 100;
    if (seconds != nullptr) a.exposureTimeEx = *seconds;
    return a.exposureTime;
  }

  // Call with the settings lock held.
  void Assign(const AnalogValues& v) {
    AnalogSettings& a = cam_.AnalogBlock();
    a.globalGain = v.globalGain;
    a.colorGainGreen1 = v.colorGainGreen1;
    a.colorGainRed = v.colorGainRed;
    a.colorGainBlue = v.colorGainBlue;
    a.colorGainGreen2 = v.colorGainGreen2;
    a.exposureTime = v.exposureTime;
    a.realExposureTime = v.exposureTime * 100;
    a.mirrorV = cam_.ImageBlock().mirrorV = v.mirrorV != 0 ? 1 : 0;
    a.mirrorH = cam_.ImageBlock().mirrorH = v.mirrorH != 0 ? 1 : 0;
    if (v.autoIris >= 0 && v.autoIris <= 2)
      a.autoIris = cam_.ImageBlock().autoIrisMode = v.autoIris;
    a.analogGain = v.blackLevel;
    a.coolingOn = v.peltier;
    a.autoCorrection = v.shortExposure;
    a.gainMode = v.gainMode;
    a.exposureTimeEx = v.exposureTimeEx;
  }

  CVexCam& cam_;
  CVexCamU3K9Base& c_;
};

// ---- Image dialog ----

// Gray phases in the dialog's order: red, green 1, green 2, blue.
constexpr int kDialogPhases[4] = {kGrayPhaseR, kGrayPhaseG1, kGrayPhaseG2, kGrayPhaseB};

class ImageHost final : public dialogs::IImageDialogHost {
 public:
  explicit ImageHost(CVexCam& cam) : cam_(cam) {}
  ~ImageHost() { cam_.dialogViews.SetImage(nullptr); }

  void Read(ImageValues* v) override {
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    const ImageSettings& s = cam_.ImageBlock();
    v->brightness = s.brightness;
    v->contrast = s.contrast;
    v->hue = s.hue;
    v->saturation = s.saturation;
    v->sharpness = s.sharpness;
    v->gainRed = s.bayerGainRed;
    v->gainGreen = s.bayerGainGreen;
    v->gainBlue = s.bayerGainBlue;
    v->gamma = s.gamma;
    v->bayerMode = s.bayerMode;
    v->grayMode = s.grayMode;
    for (int i = 0; i < 4; ++i) {
      v->grayGain[i] = s.grayGain[kDialogPhases[i]];
      v->grayOffset[i] = s.grayOffset[kDialogPhases[i]];
    }
    v->whiteBalance = s.bayerGainAuto;
    v->whiteBalanceOnce1 = s.bayerGainAutoOnce1;
    v->whiteBalanceOnce2 = s.bayerGainAutoOnce2;
    v->grayAutoRequest = s.grayAutoRequest;
    v->colorMode = s.colorMode;
  }

  void Set(ImageItem item, int32_t value) override {
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    ImageSettings& s = cam_.ImageBlock();
    switch (item) {
      case ImageItem::kBrightness:
        s.brightness = value;
        break;
      case ImageItem::kContrast:
        s.contrast = value;
        break;
      case ImageItem::kHue:
        s.hue = value;
        break;
      case ImageItem::kSaturation:
        s.saturation = value;
        break;
      case ImageItem::kSharpness:
        s.sharpness = value;
        break;
      case ImageItem::kGainRed:
        s.bayerGainRed = value;
        break;
      case ImageItem::kGainGreen:
        s.bayerGainGreen = value;
        break;
      case ImageItem::kGainBlue:
        s.bayerGainBlue = value;
        break;
      case ImageItem::kGamma:
        s.gamma = value;
        break;
      case ImageItem::kBayerMode:
        if (value >= 0 && value <= 3) s.bayerMode = value;
        break;
      case ImageItem::kGrayMode:
        if (value >= 0 && value <= 2) s.grayMode = value;
        break;
      case ImageItem::kGrayGainRed:
        s.grayGain[kGrayPhaseR] = value;
        break;
      case ImageItem::kGrayGainGreen1:
        s.grayGain[kGrayPhaseG1] = value;
        break;
      case ImageItem::kGrayGainGreen2:
        s.grayGain[kGrayPhaseG2] = value;
        break;
      case ImageItem::kGrayGainBlue:
        s.grayGain[kGrayPhaseB] = value;
        break;
      case ImageItem::kGrayOffsetRed:
        s.grayOffset[kGrayPhaseR] = value;
        break;
      case ImageItem::kGrayOffsetGreen1:
        s.grayOffset[kGrayPhaseG1] = value;
        break;
      case ImageItem::kGrayOffsetGreen2:
        s.grayOffset[kGrayPhaseG2] = value;
        break;
      case ImageItem::kGrayOffsetBlue:
        s.grayOffset[kGrayPhaseB] = value;
        break;
      case ImageItem::kWhiteBalanceOnce:
        s.bayerGainAuto = 1;
        s.bayerGainAutoOnce1 = s.bayerGainAutoOnce2 = 1;
        break;
      case ImageItem::kWhiteBalanceAll:
        s.bayerGainAuto = value != 0 ? 1 : 0;
        s.bayerGainAutoOnce1 = s.bayerGainAutoOnce2 = 0;
        break;
      case ImageItem::kGrayAutoRequest:
        s.grayAutoRequest = value;
        break;
    }
  }

  void Restore(const ImageValues& v) override {
    std::lock_guard<std::mutex> lock(cam_.SettingsLock());
    ImageSettings& s = cam_.ImageBlock();
    s.brightness = v.brightness;
    s.contrast = v.contrast;
    s.hue = v.hue;
    s.saturation = v.saturation;
    s.sharpness = v.sharpness;
    s.bayerGainRed = v.gainRed;
    s.bayerGainGreen = v.gainGreen;
    s.bayerGainBlue = v.gainBlue;
    s.gamma = v.gamma;
    s.bayerMode = v.bayerMode;
    s.grayMode = v.grayMode;
    for (int i = 0; i < 4; ++i) {
      s.grayGain[kDialogPhases[i]] = v.grayGain[i];
      s.grayOffset[kDialogPhases[i]] = v.grayOffset[i];
    }
    s.bayerGainAuto = v.whiteBalance;
    s.bayerGainAutoOnce1 = v.whiteBalanceOnce1;
    s.bayerGainAutoOnce2 = v.whiteBalanceOnce2;
    s.grayAutoRequest = v.grayAutoRequest;
  }

  void Watch(dialogs::IDialogView* view) override { cam_.dialogViews.SetImage(view); }

 private:
  CVexCam& cam_;
};

// The common frame: an open camera, the module ready, then the run.
template <class Run>
BOOL RunDialog(CVexCam& cam, Run&& run) {
  if (!CameraIsOpen(cam)) {
    cam.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  const dialogs::DialogApi* api = ReadyModule(cam);
  if (api == nullptr) return 0;
  if (run(*api) == dialogs::kUnavailable) {
    cam.Record(VEXCAM_ERR_NO_WINDOW);
    return 0;
  }
  return 1;
}

}  // namespace

BOOL RunCameraDialog(CVexCam& cam, HWND parent) {
  return RunDialog(cam, [&](const dialogs::DialogApi& api) {
    const uint32_t state = cam.Capture().SuspendForDialog();
    CameraHost host(cam);
    const int result = api.runCamera(&host, X11FromHandle(parent));
    if (result == dialogs::kClosedOk) {
      LoadSizeSettings(cam);
      LoadCameraSettings(cam);
    }
    cam.Capture().ResumeAfterDialog(state);
    return result;
  });
}

BOOL RunAnalogDialog(CVexCam& cam, HWND parent) {
  return RunDialog(cam, [&](const dialogs::DialogApi& api) {
    AnalogHost host(cam);
    return api.runAnalog(&host, X11FromHandle(parent));
  });
}

BOOL RunImageDialog(CVexCam& cam, HWND parent) {
  return RunDialog(cam, [&](const dialogs::DialogApi& api) {
    ImageHost host(cam);
    return api.runImage(&host, X11FromHandle(parent));
  });
}

}  // namespace vexcam
