#pragma once
// CVexCam: what one handle stands for. It owns the camera device model, the
// images frames pass through, the capture engine with its worker threads, the
// reference images and defect list, the settings, and the error stack. Only
// this layer turns failures into error codes: Record() pushes a code and
// posts the error message, Notify() posts without pushing.
//
// The implementation is split by concern:
//   vex_cam.cpp            construction, error reporting
//   vex_cam_lifecycle.cpp  initialise, enumerate, name, select, close, teardown
//   vex_cam_values.cpp     colour mode, window, mirrors, exposure, gains,
//                          temperature, the generic value interface
//   value_table.*          the generic values, one row per value id
//   vex_cam_registers.cpp  registers, I/O port, EEPROM, serial number
//   capture_engine.*       capture modes, worker threads, application copies
//   settings_persistence.* settings store, presets, configuration files
//   mask_files.*           mask files and reference updates
//
// Locks, in the only order they nest: frame lock, then image lock. The
// settings lock is a leaf: held only to read or write the settings blocks,
// never while taking another lock or calling the camera.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera/vex_cam_u3k9_base.h"
#include "identity/build_identity.h"
#include "imaging/defect_state.h"
#include "imaging/image_pipeline.h"
#include "imaging/image_settings.h"
#include "instance/dialog_views.h"
#include "instance/error_stack.h"
#include "platform/critical_section.h"
#include "sensors/sensor_constants.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam {

class CaptureEngine;
class DeviceWatch;

// The product this library is built for, and the size of its sensor (the
// array of the product's driver row). Where a camera is at hand, its
// SensorRow() is the source.
inline uint32_t TargetProductId() { return build::ProductId(); }
int32_t TargetSensorWidth();
int32_t TargetSensorHeight();

// Room for a file name converted from a wide string.
inline constexpr int kFileNameBytes = 1024;

// Capture states of an instance.
inline constexpr uint32_t kStateIdle = 0;
inline constexpr uint32_t kStatePreview = 1;
inline constexpr uint32_t kStateCapture = 2;
inline constexpr uint32_t kStateTrigger = 3;

// The capture window and the totals reported with it; one size preset.
struct CaptureWindow {
  int32_t totalWidth = TargetSensorWidth();
  int32_t totalHeight = TargetSensorHeight();
  int32_t width = TargetSensorWidth();
  int32_t height = TargetSensorHeight();
  int32_t x = 0;
  int32_t y = 0;
  int32_t bufferCount = 4;
};

// Analog settings: what is pushed into the camera, and saved under "Gain".
struct AnalogSettings {
  int32_t globalGain = 0;
  int32_t colorGainGreen1 = 0;
  int32_t colorGainRed = 0;
  int32_t colorGainBlue = 0;
  int32_t colorGainGreen2 = 0;
  int32_t exposureTime = 0;  // tenths of milliseconds
  int32_t mirrorV = 0;
  int32_t mirrorH = 0;
  int32_t autoIris = 0;    // 0..2
  int32_t analogGain = 0;  // also the "BlackLevel"
  int32_t coolingOn = 0;
  int32_t autoCorrection = 0;
  int32_t internalCorrection = 0;
  int32_t gainMode = 0;
  double exposureTimeEx = 0.0;   // seconds
  int32_t realExposureTime = 0;  // microseconds
};

// Camera key values other than the presets.
struct CameraSettings {
  int32_t sizeIndex = 0;
  int32_t clock = 0;
};

class CVexCam {
 public:
  CVexCam();
  virtual ~CVexCam();  // teardown: save settings, close, close the camera
  CVexCam(const CVexCam&) = delete;
  CVexCam& operator=(const CVexCam&) = delete;

  // ---- Error reporting ----
  // Pushes the code, then posts the error message to the notify window (the
  // code is on the stack before the message can be handled).
  void Record(uint32_t code);
  // Posts the error message without touching the stack; a failed post (no
  // window, destroyed window) is ignored.
  void Notify(uint32_t code);
  // True once Initialize created the camera; otherwise records "no camera".
  bool RequireCamera();
  // Converts a wide file name with the thread's code page; false, with
  // "file or text" recorded, when it does not convert.
  bool NarrowFileName(const wchar_t* wide, char (&narrow)[kFileNameBytes]);
  uint32_t GetLastError() { return errors_.Pop(); }
  // For exports whose behaviour is not built yet: records "not supported" and
  // clears the caller's ok flag.
  void NotBuilt(int* ok = nullptr);
  HWND NotifyWindow() const { return notifyWindow_.load(); }

  // ---- Lifecycle (vex_cam_lifecycle.cpp) ----
  // Runs once after the instance is registered; its result does not change
  // the handle VexCam_Initialize returns.
  uint32_t Initialize(HWND notifyWindow);
  int EnumDevice(char names[10][256]);
  int EnumDeviceW(wchar_t names[10][256]);
  BOOL GetDeviceName(int index, char* name, int size);
  BOOL GetDeviceNameW(int index, wchar_t* name, int size);
  BOOL SetDeviceNumber(int number);
  BOOL Close();
  BOOL GetCameraInfo(VEXCAM_CAMERA_INFO* info);

  // ---- Values (vex_cam_values.cpp) ----
  BOOL SetColorMode(int bits);
  int GetColorMode();
  BOOL SetSubSample(int code);
  int GetSubSample();
  BOOL SetCaptureWindowEx(int totalWidth, int x, int width, int totalHeight, int y, int height);
  BOOL GetCaptureWindowEx(int* totalWidth, int* x, int* width, int* totalHeight, int* y,
                          int* height);
  BOOL SetMirrorH(BOOL on);
  BOOL SetMirrorV(BOOL on);
  BOOL GetMirrorH();
  BOOL GetMirrorV();
  BOOL SetConfigFilter(int on);
  int GetConfigFilter();
  BOOL SetRealExposureTime(int microseconds);
  int GetRealExposureTime(int* ok);
  BOOL SetExposureTimeEx(double seconds);
  double GetExposureTimeEx(int* ok);
  int GetTemperature(int* ok);
  double GetTemperatureEx(int* ok);
  BOOL SetAutoIris(int mode);
  int GetAutoIris(int* ok);
  // The generic value interface; the named exports pass fixed ids.
  BOOL SetFilterValue(int id, int value);
  int GetFilterValue(int id, int* ok);
  // Channels 1..4 map to ids 29..32 (gain) and 33..36 (offset); any other
  // channel returns 0 with nothing recorded.
  BOOL SetChannelGain(int channel, int value);
  int GetChannelGain(int channel, int* ok);
  BOOL SetChannelOffset(int channel, int value);
  int GetChannelOffset(int channel, int* ok);

  // ---- Registers and non-volatile memory (vex_cam_registers.cpp) ----
  int ReadRegister(uint32_t address, int* ok);
  BOOL WriteRegister(uint32_t address, uint32_t value);
  int FpgaReadRegister(BYTE address, int* ok);
  BOOL FpgaWriteRegister(BYTE address, WORD value);
  BOOL GetIOPort(BYTE* value);
  BOOL SetIOPort(BYTE value);
  int ReadSromID(int address, int* ok);
  BOOL WriteSromID(int address, int value);
  BOOL ReadSerialNumberA(char* buffer, int size);
  BOOL ReadSerialNumberW(wchar_t* buffer, int size);
  BOOL SetSamplingRate(int rate);

  // ---- Parts with objects of their own ----
  CaptureEngine& Capture() { return *capture_; }

  // ---- Shared state of the instance's parts ----
  // The camera device model; null until Initialize created it. Created and
  // destroyed only on the application's thread while no capture runs.
  CVexCamU3K9Base* Camera() const { return camera.get(); }

  // Settings lock (leaf): guards the three settings blocks and the capture
  // window. The capture thread copies the image settings under it at the
  // start of each frame and writes measured values back under it.
  std::mutex& SettingsLock() { return settingsLock; }
  ImageSettings& ImageBlock() { return imageSettings; }  // also colour mode, sub-sample, mirrors
  AnalogSettings& AnalogBlock() { return analog; }
  CameraSettings& CameraBlock() { return cameraSettings; }
  CaptureWindow& Window() { return window; }

  // Frame lock: guards the raw and output images, the frame info and the
  // application-buffer copy.
  CriticalSection frameLock;
  ImagePipeline images;

  // Image lock: guards the reference images, maps and defect list.
  std::mutex imageLock;
  DefectState defects;

  // The preview loop's sleep: VexCam_SetWaitTime and the stored "WaitTime".
  std::atomic<uint32_t> waitTimeMs{10};
  std::atomic<uint32_t> frameTimeoutMs{3000};
  std::atomic<uint32_t> deviceNumber{0};
  std::atomic<bool> cameraChosen{false};  // a device number was selected

  // Open settings dialogs that measured values are shown in.
  DialogViews dialogViews;

 private:
  // Behind the accessors above; the instance's own members use them directly.
  std::unique_ptr<CVexCamU3K9Base> camera;
  std::mutex settingsLock;
  ImageSettings imageSettings;
  AnalogSettings analog;
  CameraSettings cameraSettings;
  CaptureWindow window;

  std::atomic<HWND> notifyWindow_{nullptr};
  ErrorStack errors_;
  std::unique_ptr<CaptureEngine> capture_;
  std::unique_ptr<DeviceWatch> deviceWatch_;

  // ---- Lifecycle helpers (vex_cam_lifecycle.cpp) ----
  // Pushes the analog settings into the open camera (device switch).
  void PushAnalogSettings();
};

}  // namespace vexcam
