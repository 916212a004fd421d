#pragma once
// The generic values of an instance, one row per value id: where the value
// lives, its default and range, how it reaches the camera, when a set or get
// is refused, and its name in the settings store. The generic value interface
// (CVexCam::SetFilterValue / GetFilterValue) and the "Filter", "Gray" and
// "Gain" groups of the settings store are driven by these rows.

#include <cstdint>
#include <span>

#include "imaging/image_settings.h"

namespace vexcam {

class CVexCam;
class CVexCamU3K9Base;
struct AnalogSettings;

// How a set of the value is carried out.
enum class SetRule : uint8_t {
  kStore,        // fixed range; stored in the image settings
  kStoreSwitch,  // any value; stored in the image settings as 0/1
  kDevice,       // the camera's range; stored in the analog settings, then written to the camera
  kHook,         // the row's own set hook
  kRefused,      // refused as an invalid argument
};

// How a get of the value is carried out.
enum class GetRule : uint8_t {
  kStored,        // the stored image setting
  kDevice,        // read from the camera; a failed read clears ok, no code
  kHook,          // the row's own get hook
  kRefused,       // refused as an invalid argument
  kNotSupported,  // refused as not supported, returning -1
};

using ImageField = int32_t& (*)(ImageSettings&);
using AnalogField = int32_t& (*)(AnalogSettings&);
using DeviceRead = uint32_t (CVexCamU3K9Base::*)(uint32_t*);
using DeviceWrite = uint32_t (CVexCamU3K9Base::*)(uint32_t);
using DeviceCheck = uint32_t (CVexCamU3K9Base::*)();

struct ValueRow {
  int id = 0;
  SetRule set = SetRule::kRefused;
  GetRule get = GetRule::kRefused;
  // Settings store group ("Filter", "Gray", "Gain") and value name; null
  // when the value is not persisted.
  const char* group = nullptr;
  const char* name = nullptr;
  // Where the value lives: an image setting, or an analog setting.
  ImageField image = nullptr;
  AnalogField analog = nullptr;
  // Stored image settings: the default when the group is missing from the
  // store, and the range a set (and a load) accepts.
  int32_t defaultValue = 0;
  int32_t min = 0;
  int32_t max = 0;
  // Device values: the camera's range, its write and read, and the default
  // taken when the "Gain" group is missing.
  DeviceRead rangeMin = nullptr;
  DeviceRead rangeMax = nullptr;
  DeviceWrite write = nullptr;
  DeviceRead read = nullptr;
  DeviceRead deviceDefault = nullptr;
  // Refusal: a camera without this capability refuses as not supported; a
  // get then returns unsupportedResult.
  DeviceCheck supported = nullptr;
  int unsupportedResult = 0;
  // Stored along with a device value, under the settings lock (kDevice).
  void (*alsoStore)(AnalogSettings&, int32_t value) = nullptr;
  // Runs after a device value was written to the camera (kDevice).
  void (*afterWrite)(CVexCam& cam) = nullptr;
  // kHook rules. The camera exists and the capability check has passed.
  int (*setHook)(CVexCam& cam, int value) = nullptr;
  int (*getHook)(CVexCam& cam, int* ok) = nullptr;
};

// Every row, in value id order.
std::span<const ValueRow> ValueRows();
// The row of a value id; null for an id outside the table.
const ValueRow* FindValueRow(int id);

}  // namespace vexcam
