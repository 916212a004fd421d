#pragma once
// Settings persistence of an instance: per-camera settings in the settings
// store below the product key ("Software\\Quorin\\VexCamZA013K9Sdk" in the ZA01
// build), the size presets, and the
// configuration file holding the defect list of the configuration filter.
//
// Loaders and savers work for the instance's current device number. Store
// failures are silent: a loader that cannot open its key returns 0 (the
// "Gain", "Filter" and "Gray" groups then take their defaults, the others
// keep the live values), a saver that cannot create its key writes nothing
// and returns 0; neither records an error code. A value of the wrong type
// counts as missing; filter, gray and colour-mode values outside the API's
// ranges are not applied. The settings lock is held only around the settings
// blocks, never while calling the camera.

#include <cstdint>
#include <span>

#include "instance/vex_cam.h"

namespace vexcam {

// The product key below HKEY_CURRENT_USER.
inline const char* ProductKey() { return build::ProductKey(); }

// Initialisation: creates the first-time keys when the product key is
// missing; otherwise applies the camera key's selected "Size_%02d" preset.
uint32_t LoadSizeSettings(CVexCam& cam);
// "Color" (checked against the open camera), "SubSample", "WaitTime", "Clock".
uint32_t LoadCameraSettings(CVexCam& cam);
uint32_t LoadAnalogSettings(CVexCam& cam);
uint32_t LoadFilterSettings(CVexCam& cam);
uint32_t LoadGraySettings(CVexCam& cam);

uint32_t SaveAnalogSettings(CVexCam& cam);
uint32_t SaveFilterSettings(CVexCam& cam);
uint32_t SaveGraySettings(CVexCam& cam);
// The camera key values other than the presets, as a camera dialog edits them.
struct CameraKeyValues {
  int32_t sizeIndex = 0;
  int32_t colorMode = 2;
  int32_t subSample = 0;
  int32_t waitTime = 1;
  int32_t clock = 0;
};
// The instance's current camera key values.
CameraKeyValues CurrentCameraKeyValues(CVexCam& cam);
// The camera key values as stored ("Size", "Color", "SubSample", "WaitTime",
// "Clock"); a missing value keeps the one in *values. False when the camera
// key cannot be opened.
bool ReadCameraKeyValues(CVexCam& cam, CameraKeyValues* values);
// Writes `presets` in order as the camera key's "Size_00", "Size_01", ...
// (at most 100), then the camera key values.
uint32_t SaveCameraSettings(CVexCam& cam, std::span<const CaptureWindow> presets,
                            const CameraKeyValues& values);

// The colour-mode correction for a camera's output capabilities (8-bit,
// 16-bit and colour output); modes 4 and 5 pass unchanged.
int32_t CheckColorMode(int32_t colorMode, bool has8Bit, bool has16Bit, bool hasColor);

// VexCam_SetCaptureWindow: selects the product key's preset of that size.
// Records 1 without a camera or while a capture runs, 4 when no preset
// matches.
BOOL SetCaptureWindowFromPresets(CVexCam& cam, int width, int height);

// VexCam_LoadConfigFileA/W: replaces the defect list. A file that cannot be
// opened returns 0 without recording; a wide name that cannot be converted
// records 12.
BOOL LoadConfigFile(CVexCam& cam, const char* fileName);
BOOL LoadConfigFileW(CVexCam& cam, const wchar_t* fileName);

}  // namespace vexcam
