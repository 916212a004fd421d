// Initialisation, enumeration and naming, camera selection, close, camera
// information and teardown of an instance.
#include <cstdio>
#include <cstring>
#include <new>

#include "camera/product_table.h"
#include "camera/vex_cam_usb3k9_simple_sdk.h"
#include "instance/capture_engine.h"
#include "instance/device_watch.h"
#include "instance/settings_persistence.h"
#include "instance/vex_cam.h"
#include "platform/message_window.h"
#include "platform/text_convert.h"
#include "sim/sim_environment.h"

namespace vexcam {

namespace {

constexpr int kEnumEntries = 10;
constexpr int kEnumEntryBytes = 256;
// Room for the device base name, "_NN" and the terminator.
int MinNameBytes() { return static_cast<int>(std::strlen(build::DeviceBaseName())) + 4; }
constexpr int kWideBufferChars = 1024;

void FormatName(char* out, size_t size, int number) {
  std::snprintf(out, size, "%s_%02d", build::DeviceBaseName(), number);
}

}  // namespace

int32_t TargetSensorWidth() {
  return static_cast<int32_t>(SensorConstantsOf(ProductRowOf(TargetProductId()).driver).arrayWidth);
}

int32_t TargetSensorHeight() {
  return static_cast<int32_t>(
      SensorConstantsOf(ProductRowOf(TargetProductId()).driver).arrayHeight);
}

uint32_t CVexCam::Initialize(HWND notifyWindow) {
  // Applications that are not linked against the simulator API still get
  // the simulated cameras named in VEXCAM_SIMULATOR.
  sim::InstallFromEnvironment();

  deviceWatch_.reset();
  camera.reset(new (std::nothrow) CVexCamUSB3K9SimpleSdk);
  notifyWindow_.store(notifyWindow);

  // Device-change registration: only a live message window can receive the
  // arrival and removal messages.
  if (notifyWindow != nullptr) {
    if (!IsMessageWindow(notifyWindow)) return 0;
    deviceWatch_.reset(new (std::nothrow) DeviceWatch(notifyWindow));
    if (!deviceWatch_) return 0;
  }

  if (!camera) {
    Record(VEXCAM_ERR_MEMORY);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(imageLock);
    if (!defects.Init()) return 0;
  }

  LoadSizeSettings(*this);
  camera->SetProductId(TargetProductId());
  camera->CreateController(notifyWindow, nullptr);
  if (camera->GetDeviceCount(TargetProductId()) == 1) SetDeviceNumber(0);

  LoadFilterSettings(*this);
  LoadGraySettings(*this);
  LoadAnalogSettings(*this);
  LoadCameraSettings(*this);
  return 1;
}

int CVexCam::EnumDevice(char names[10][256]) {
  if (!RequireCamera()) return 0;
  if (names == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // Device numbers of available cameras need not be contiguous (a camera
  // unplugged between two others keeps its number), so every number is
  // tried until all available cameras are named.
  const uint32_t present = camera->GetDeviceCount(TargetProductId());
  const uint32_t maxDevices = camera->GetMaxDeviceCount();
  int count = 0;
  for (uint32_t number = 0;
       number < maxDevices && static_cast<uint32_t>(count) < present && count < kEnumEntries;
       ++number) {
    if (!camera->IsDeviceAvailable(number)) continue;
    FormatName(names[count], kEnumEntryBytes, count + 1);
    ++count;
  }
  for (int i = count; i < kEnumEntries; ++i) names[i][0] = '\0';
  return count;
}

int CVexCam::EnumDeviceW(wchar_t names[10][256]) {
  if (!RequireCamera()) return 0;
  if (names == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kEnumEntries][kEnumEntryBytes];
  const int count = EnumDevice(narrow);
  for (int i = 0; i < kEnumEntries; ++i) {
    if (i >= count) {
      names[i][0] = L'\0';
      continue;
    }
    if (MultiByteToWide(CodePage::kAcp, narrow[i], -1, names[i], kEnumEntryBytes) == 0) {
      names[i][0] = L'\0';
      Record(VEXCAM_ERR_FILE_OR_TEXT);
      return 0;
    }
  }
  return count;
}

BOOL CVexCam::GetDeviceName(int index, char* name, int size) {
  if (!RequireCamera()) return 0;
  if (name == nullptr || size < MinNameBytes()) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  if (index < 0 || static_cast<uint32_t>(index) >= camera->GetMaxDeviceCount()) {
    Record(VEXCAM_ERR_NOT_OPENED);
    return 0;
  }
  camera->GetDeviceCount(TargetProductId());  // refreshes the device table
  if (!camera->IsDeviceAvailable(static_cast<uint32_t>(index))) {
    Record(VEXCAM_ERR_NOT_OPENED);
    return 0;
  }
  FormatName(name, static_cast<size_t>(size), index + 1);
  return 1;
}

BOOL CVexCam::GetDeviceNameW(int index, wchar_t* name, int size) {
  if (!RequireCamera()) return 0;
  if (name == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kEnumEntryBytes];
  if (!GetDeviceName(index, narrow, sizeof(narrow))) return 0;
  wchar_t wide[kWideBufferChars];
  const int length = MultiByteToWide(CodePage::kThreadAcp, narrow, -1, wide, kWideBufferChars);
  if (length <= 0 || length > size) {
    Record(VEXCAM_ERR_FILE_OR_TEXT);
    return 0;
  }
  std::memcpy(name, wide, static_cast<size_t>(length) * sizeof(wchar_t));
  return 1;
}

BOOL CVexCam::SetDeviceNumber(int number) {
  if (!RequireCamera()) return 0;
  // Opening another camera under a running capture would pull the device
  // from under the worker.
  if (capture_->State() != kStateIdle) {
    Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  if (cameraChosen.exchange(true)) {
    SaveAnalogSettings(*this);
    SaveFilterSettings(*this);
    SaveGraySettings(*this);
  }
  camera->GetDeviceCount(TargetProductId());  // refreshes the device table
  if (number < 0 || !camera->IsDeviceAvailable(static_cast<uint32_t>(number)) ||
      !camera->OpenCamera(static_cast<uint32_t>(number))) {
    Record(VEXCAM_ERR_NOT_OPENED);
    return 0;
  }
  // The loaders read the settings of the instance's device number.
  deviceNumber.store(static_cast<uint32_t>(number));
  LoadAnalogSettings(*this);
  LoadFilterSettings(*this);
  LoadGraySettings(*this);
  PushAnalogSettings();
  return 1;
}

void CVexCam::PushAnalogSettings() {
  AnalogSettings a;
  {
    std::lock_guard<std::mutex> lock(settingsLock);
    a = analog;
  }
  CVexCamU3K9Base& cam = *camera;
  cam.SetGlobalGain(static_cast<uint32_t>(a.globalGain));
  cam.SetColorGainGreen1(static_cast<uint32_t>(a.colorGainGreen1));
  cam.SetColorGainRed(static_cast<uint32_t>(a.colorGainRed));
  cam.SetColorGainBlue(static_cast<uint32_t>(a.colorGainBlue));
  cam.SetColorGainGreen2(static_cast<uint32_t>(a.colorGainGreen2));
  if (cam.IsExposureTimeExSupported()) {
    cam.SetExposureTimeEx(a.exposureTimeEx);
  } else {
    cam.SetExposureTime(static_cast<uint32_t>(a.exposureTime));
  }
  cam.SetMirrorV(a.mirrorV != 0 ? 1 : 0);
  cam.SetMirrorH(a.mirrorH != 0 ? 1 : 0);
  if (cam.IsAnalogGainSupported()) cam.SetAnalogGain(static_cast<uint32_t>(a.analogGain));
  const bool peltier = cam.IsPeltierSupported() != 0;
  if (peltier) cam.SetPeltier(1);
  const bool autoCorrection = cam.HasAutoCorrection() != 0;
  if (autoCorrection) cam.SetAutoCorrection(0);
  if (cam.HasCorrectionMode()) cam.SetCorrectionMode(static_cast<uint32_t>(a.internalCorrection));
  std::lock_guard<std::mutex> lock(settingsLock);
  if (peltier) analog.coolingOn = 1;
  if (autoCorrection) analog.autoCorrection = 0;
}

BOOL CVexCam::Close() {
  capture_->ClosePreviewWindow();
  capture_->Stop();
  if (camera) camera->StopCapture();
  return 1;
}

BOOL CVexCam::GetCameraInfo(VEXCAM_CAMERA_INFO* info) {
  if (!RequireCamera()) return 0;
  if (info == nullptr) {
    Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  if (info->size < 36) {
    Record(VEXCAM_ERR_MEMORY);
    return 0;
  }
  CVexCamU3K9Base& cam = *camera;
  info->sensorWidth = TargetSensorWidth();
  info->sensorHeight = TargetSensorHeight();
  info->globalGainMin = static_cast<LONG>(cam.GetGlobalGainMin());
  info->globalGainMax = static_cast<LONG>(cam.GetGlobalGainMax());
  info->colorGainMin = static_cast<LONG>(cam.GetColorGainMin());
  info->colorGainMax = static_cast<LONG>(cam.GetColorGainMax());
  info->exposureTimeMin = static_cast<LONG>(cam.GetExposureTimeMin());
  info->exposureTimeMax = static_cast<LONG>(cam.GetExposureTimeMax());
  // The two doubles lie past the 36-byte short record: written only when
  // the caller declared room for them.
  if (info->size >= sizeof(VEXCAM_CAMERA_INFO)) {
    info->exposureTimeMinSeconds = cam.GetExposureTimeExMin();
    info->exposureTimeMaxSeconds = cam.GetExposureTimeExMax();
  }
  return 1;
}

CVexCam::~CVexCam() {
  deviceWatch_.reset();
  if (camera) {
    SaveAnalogSettings(*this);
    SaveFilterSettings(*this);
    SaveGraySettings(*this);
  }
  Close();
  if (camera) {
    camera->CloseCamera(notifyWindow_.load());
    camera.reset();
  }
}

}  // namespace vexcam
