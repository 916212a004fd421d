#pragma once
// The interface between the core library and the dialog module
// (libVexCamDialogs.so, Qt 6 Widgets). The core loads the module with dlopen
// the first time a dialog is asked for, so the core and headless users never
// load Qt. Both sides are built from this tree by the same compiler; the
// interfaces carry plain values only, and kDialogAbi changes with any change
// of layout.
//
// The module owns the widgets and the rules of each dialog; the core supplies
// a host per dialog that reads and writes the instance's settings and talks to
// the camera. Every host call is made on the thread that runs the dialog.

#include <cstdint>

namespace vexcam::dialogs {

inline constexpr uint32_t kDialogAbi = 1;
inline constexpr char kDialogEntry[] = "VexDialogs_GetApi";
inline constexpr char kDialogModuleName[] = "libVexCamDialogs.so";

// Results of a run.
inline constexpr int kUnavailable = 0;  // no display, no Qt, or not Qt's thread
inline constexpr int kClosedOk = 1;
inline constexpr int kClosedCancel = 2;

// An open dialog that the capture thread tells about values it measured
// (auto iris, white balance, automatic gray gain). Called from any thread,
// never blocks: the dialog re-reads the values on its own thread.
class IDialogView {
 public:
  virtual void ValuesChanged() = 0;

 protected:
  ~IDialogView() = default;
};

// ---- Camera dialog ----

struct SizePreset {
  int32_t totalWidth, totalHeight, width, height, x, y, buffers;
};
struct CameraKey {
  int32_t size = 0, color = 0, subSample = 0, waitTime = 0, clock = 0;
};
struct CameraCaps {
  bool has8Bit = false, has16Bit = false, hasColor = false;
  bool canChangeWidth = false, canChangeHeight = false;
};

class ICameraDialogHost {
 public:
  virtual CameraCaps Caps() = 0;
  // The camera key's stored values; false when the key cannot be read.
  virtual bool ReadCameraKey(CameraKey* values) = 0;
  // The presets as "Size_00", "Size_01", ... below the camera key, then the
  // camera key values.
  virtual void SaveCameraSettings(const SizePreset* presets, int count,
                                  const CameraKey& values) = 0;

 protected:
  ~ICameraDialogHost() = default;
};

// ---- Analog dialog ----

struct AnalogValues {
  int32_t globalGain = 0, colorGainGreen1 = 0, colorGainRed = 0, colorGainBlue = 0,
          colorGainGreen2 = 0;
  int32_t exposureTime = 0;  // tenths of milliseconds
  int32_t mirrorV = 0, mirrorH = 0;
  int32_t autoIris = 0;  // 0 off, 1 exposure, 2 gain
  int32_t blackLevel = 0, peltier = 0, shortExposure = 0, gainMode = 0;
  double exposureTimeEx = 0.0;  // seconds
};
struct ValueRange {
  int32_t minimum = 0, maximum = 0, defaultValue = 0;
};
// What the camera offers, read once when the page opens.
struct AnalogCamera {
  ValueRange globalGain, colorGain, exposureTime;
  bool exposureExSupported = false;
  double exposureExMin = 0, exposureExMax = 0, exposureExDefault = 0, exposureEx = 0;
  bool exposureExDefaultOk = false;
  bool blackLevelSupported = false;
  ValueRange blackLevel;
  bool peltierSupported = false, autoCorrectionSupported = false;
  bool correctionModeSupported = false;
  int32_t correctionMode = -1;
};
enum class AnalogItem : int {
  kGlobalGain,
  kColorGainGreen1,
  kColorGainRed,
  kColorGainBlue,
  kColorGainGreen2,
  kBlackLevel,
  kMirrorV,
  kMirrorH,
  kAutoIris,
  kPeltier,
  kShortExposure,
  kGainMode,
};

class IAnalogDialogHost {
 public:
  // The instance's analog settings; camera (may be null) what it offers.
  virtual void Read(AnalogValues* values, AnalogCamera* camera) = 0;
  // Sends the value to the camera and records it in the settings.
  virtual void Set(AnalogItem item, int32_t value) = 0;
  // Sets the exposure; returns the camera's exposure read back (tenths of
  // milliseconds), which is also recorded.
  virtual int32_t SetExposureTime(int32_t tenthsMs) = 0;
  virtual int32_t SetExposureTimeEx(double seconds) = 0;
  // OK: the page's values into the settings, nothing sent to the camera.
  virtual void Commit(const AnalogValues& page) = 0;
  // Cancel: the settings of the opening back, and gains, exposure and
  // mirrors sent to the camera again.
  virtual void Restore(const AnalogValues& saved) = 0;
  // The open page for live updates; null when it closes. Once Watch(nullptr)
  // returned, the view is never called again.
  virtual void Watch(IDialogView* view) = 0;

 protected:
  ~IAnalogDialogHost() = default;
};

// ---- Image dialog ----

// Gray gains and offsets by phase: 0 red (1, 0), 1 green 1 (0, 0),
// 2 green 2 (1, 1), 3 blue (0, 1).
struct ImageValues {
  int32_t brightness = 0, contrast = 0, hue = 0, saturation = 0, sharpness = 0;
  int32_t gainRed = 100, gainGreen = 100, gainBlue = 100, gamma = 100, bayerMode = 0;
  int32_t grayMode = 0;
  int32_t grayGain[4] = {128, 128, 128, 128};
  int32_t grayOffset[4] = {128, 128, 128, 128};
  int32_t whiteBalance = 0, whiteBalanceOnce1 = 0, whiteBalanceOnce2 = 0;
  int32_t grayAutoRequest = 0;
  int32_t colorMode = 0;
};
enum class ImageItem : int {
  kBrightness,
  kContrast,
  kHue,
  kSaturation,
  kSharpness,
  kGainRed,
  kGainGreen,
  kGainBlue,
  kGamma,
  kBayerMode,
  kGrayMode,
  kGrayGainRed,
  kGrayGainGreen1,
  kGrayGainGreen2,
  kGrayGainBlue,
  kGrayOffsetRed,
  kGrayOffsetGreen1,
  kGrayOffsetGreen2,
  kGrayOffsetBlue,
  kWhiteBalanceOnce,  // value ignored: one measurement on the next colour frame
  kWhiteBalanceAll,   // 0/1: measure on every frame
  kGrayAutoRequest,   // 1 once, -1 every frame, 0 off
};

class IImageDialogHost {
 public:
  virtual void Read(ImageValues* values) = 0;
  // Writes the setting as it is, without the API's range checks.
  virtual void Set(ImageItem item, int32_t value) = 0;
  // Cancel: the dialog's settings as they were at opening.
  virtual void Restore(const ImageValues& saved) = 0;
  virtual void Watch(IDialogView* view) = 0;

 protected:
  ~IImageDialogHost() = default;
};

// ---- The module ----

struct DialogApi {
  uint32_t abi;
  // 1 when dialogs can be shown on the calling thread: a QApplication exists
  // or could be made (a display, or QT_QPA_PLATFORM given) and this is its
  // thread. Makes the QApplication when the process has none.
  int (*ready)();
  // Modal; return kClosedOk, kClosedCancel or kUnavailable. parentXid: an
  // X11 window the dialog is transient for, 0 for none.
  int (*runCamera)(ICameraDialogHost* host, unsigned long parentXid);
  int (*runAnalog)(IAnalogDialogHost* host, unsigned long parentXid);
  int (*runImage)(IImageDialogHost* host, unsigned long parentXid);
};

using GetDialogApiFn = const DialogApi* (*)();

}  // namespace vexcam::dialogs
