#include "instance/settings_persistence.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "instance/capture_engine.h"
#include "instance/value_table.h"
#include "platform/registry_calls.h"

namespace vexcam {

namespace {

using platform::HKEY;
using platform::HKEY_CURRENT_USER;

// Size presets are "Size_00" .. "Size_99".
constexpr int kMaxPresets = 100;
// Wide file names are converted into this many bytes.
// A configuration file is read whole; the list of a 640 x 512 sensor needs
// far less than this.
constexpr long long kMaxConfigFileBytes = 64LL << 20;

// One open key of the settings store, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  bool Open(HKEY parent, const char* subKey) {
    Close();
    HKEY key = nullptr;
    if (platform::RegOpenKeyExA(parent, subKey, 0, platform::KEY_READ, &key) !=
        platform::ERROR_SUCCESS)
      return false;
    key_ = key;
    return true;
  }

  bool Create(HKEY parent, const char* subKey) {
    Close();
    HKEY key = nullptr;
    uint32_t disposition = 0;
    if (platform::RegCreateKeyExA(parent, subKey, 0, "", platform::REG_OPTION_NON_VOLATILE,
                                  platform::KEY_ALL_ACCESS, nullptr, &key,
                                  &disposition) != platform::ERROR_SUCCESS)
      return false;
    key_ = key;
    return true;
  }

  void Close() {
    if (key_ != nullptr) platform::RegCloseKey(key_);
    key_ = nullptr;
  }

  HKEY Get() const { return key_; }

  // A REG_DWORD of 4 bytes, little-endian; anything else counts as missing.
  bool ReadInt(const char* name, int32_t* value) const {
    uint8_t data[4] = {};
    uint32_t type = 0;
    uint32_t size = sizeof(data);
    if (platform::RegQueryValueExA(key_, name, nullptr, &type, data, &size) !=
            platform::ERROR_SUCCESS ||
        type != platform::REG_DWORD || size != sizeof(data))
      return false;
    const uint32_t raw = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
                         uint32_t{data[3]} << 24;
    *value = static_cast<int32_t>(raw);
    return true;
  }

  bool WriteInt(const char* name, int32_t value) {
    const auto raw = static_cast<uint32_t>(value);
    const uint8_t data[4] = {static_cast<uint8_t>(raw), static_cast<uint8_t>(raw >> 8),
                             static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 24)};
    return platform::RegSetValueExA(key_, name, 0, platform::REG_DWORD, data, sizeof(data)) ==
           platform::ERROR_SUCCESS;
  }

  // An IEEE double as REG_BINARY of 8 bytes.
  bool ReadDouble(const char* name, double* value) const {
    uint8_t data[8] = {};
    uint32_t type = 0;
    uint32_t size = sizeof(data);
    if (platform::RegQueryValueExA(key_, name, nullptr, &type, data, &size) !=
            platform::ERROR_SUCCESS ||
        type != platform::REG_BINARY || size != sizeof(data))
      return false;
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = raw << 8 | data[i];
    std::memcpy(value, &raw, sizeof(raw));
    return true;
  }

  bool WriteDouble(const char* name, double value) {
    uint64_t raw = 0;
    std::memcpy(&raw, &value, sizeof(raw));
    uint8_t data[8];
    for (int i = 0; i < 8; ++i) data[i] = static_cast<uint8_t>(raw >> (8 * i));
    return platform::RegSetValueExA(key_, name, 0, platform::REG_BINARY, data, sizeof(data)) ==
           platform::ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

std::string CameraKeyName(const CVexCam& cam) {
  char name[32];
  std::snprintf(name, sizeof(name), "Camera_%02u", static_cast<unsigned>(cam.deviceNumber.load()));
  return name;
}

std::string PresetKeyName(int index) {
  char name[16];
  std::snprintf(name, sizeof(name), "Size_%02d", index);
  return name;
}

// Path of a key below the camera key ("" for the camera key itself).
std::string CameraPath(const CVexCam& cam, const char* group) {
  std::string path = std::string(ProductKey()) + "\\" + CameraKeyName(cam);
  if (group[0] != '\0') path += std::string("\\") + group;
  return path;
}

// Creates product key, camera key and `group` below it (every level opened
// with full access, so the group key can always be created).
bool CreateCameraKey(const CVexCam& cam, const char* group, RegKey* out) {
  RegKey product;
  if (!product.Create(HKEY_CURRENT_USER, ProductKey())) return false;
  if (group[0] == '\0') return out->Create(product.Get(), CameraKeyName(cam).c_str());
  RegKey camera;
  if (!camera.Create(product.Get(), CameraKeyName(cam).c_str())) return false;
  return out->Create(camera.Get(), group);
}

// ---- Size presets ----

const char* const kPresetValues[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};

int32_t* PresetField(CaptureWindow& w, int i) {
  int32_t* const fields[] = {&w.totalWidth, &w.totalHeight, &w.width,      &w.height,
                             &w.x,          &w.y,           &w.bufferCount};
  return fields[i];
}

// Reads the values present over *w.
void ReadPreset(const RegKey& key, CaptureWindow* w) {
  for (int i = 0; i < 7; ++i) key.ReadInt(kPresetValues[i], PresetField(*w, i));
}

bool WritePreset(RegKey& key, CaptureWindow w) {
  bool ok = true;
  for (int i = 0; i < 7; ++i) ok = key.WriteInt(kPresetValues[i], *PresetField(w, i)) && ok;
  return ok;
}

// A preset the capture code can use: a non-empty window on the sensor and at
// least one frame buffer. Others are ignored rather than handed on.
bool IsUsablePreset(const CaptureWindow& w) {
  return w.width > 0 && w.height > 0 && w.x >= 0 && w.y >= 0 && w.width <= TargetSensorWidth() &&
         w.height <= TargetSensorHeight() && w.x <= TargetSensorWidth() - w.width &&
         w.y <= TargetSensorHeight() - w.height && w.totalWidth > 0 && w.totalHeight > 0 &&
         w.bufferCount > 0;
}

// Stores the window in the instance and in the image settings the capture
// code reads.
void ApplyWindow(CVexCam& cam, const CaptureWindow& w) {
  std::lock_guard lock(cam.SettingsLock());
  cam.Window() = w;
  cam.ImageBlock().windowX = w.x;
  cam.ImageBlock().windowY = w.y;
  cam.ImageBlock().windowWidth = w.width;
  cam.ImageBlock().windowHeight = w.height;
}

// ---- Colour mode ----

bool CameraIsOpen(const CVexCam& cam) { return cam.Camera() && cam.Camera()->Sensor() != nullptr; }

int32_t FirstTimeColorMode(CVexCam& cam) {
  if (!CameraIsOpen(cam)) return 2;
  if (cam.Camera()->IsSubSampleSupported()) return 2;
  if (cam.Camera()->IsBinningSupported()) return 1;
  if (cam.Camera()->IsColorModeSupported()) return 0;
  return 2;
}

// ---- Filter and gray groups ----

// The stored image settings of a group, from the value table in id order.
// Ranges are those the generic value interface accepts.
std::vector<const ValueRow*> GroupRows(const char* group) {
  std::vector<const ValueRow*> rows;
  for (const ValueRow& row : ValueRows()) {
    if (row.group != nullptr && row.image != nullptr && std::strcmp(row.group, group) == 0)
      rows.push_back(&row);
  }
  return rows;
}

uint32_t LoadGroup(CVexCam& cam, const char* group) {
  const std::vector<const ValueRow*> rows = GroupRows(group);
  // Read outside the settings lock; a value missing or out of range keeps
  // the current setting.
  std::vector<bool> present(rows.size(), false);
  std::vector<int32_t> values(rows.size(), 0);
  RegKey key;
  const bool opened = key.Open(HKEY_CURRENT_USER, CameraPath(cam, group).c_str());
  if (opened) {
    for (size_t i = 0; i < rows.size(); ++i) {
      int32_t v = 0;
      present[i] = key.ReadInt(rows[i]->name, &v) && v >= rows[i]->min && v <= rows[i]->max;
      values[i] = v;
    }
  }
  std::lock_guard lock(cam.SettingsLock());
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!opened)
      rows[i]->image(cam.ImageBlock()) = rows[i]->defaultValue;
    else if (present[i])
      rows[i]->image(cam.ImageBlock()) = values[i];
  }
  return opened ? 1 : 0;
}

uint32_t SaveGroup(CVexCam& cam, const char* group) {
  ImageSettings copy;
  {
    std::lock_guard lock(cam.SettingsLock());
    copy = cam.ImageBlock();
  }
  RegKey key;
  if (!CreateCameraKey(cam, group, &key)) return 0;
  bool ok = true;
  for (const ValueRow* row : GroupRows(group)) ok = key.WriteInt(row->name, row->image(copy)) && ok;
  return ok ? 1 : 0;
}

// ---- Analog group ("Gain") ----

// One value of the "Gain" group: a generic value's row, or an analog setting
// that has no value id.
struct GainValue {
  const ValueRow* row;
  const char* name;
  int32_t AnalogSettings::*field;

  const char* Name() const { return row != nullptr ? row->name : name; }
  int32_t& Field(AnalogSettings& a) const { return row != nullptr ? row->analog(a) : a.*field; }
};

GainValue Row(int id) { return {FindValueRow(id), nullptr, nullptr}; }

// Read order matters: a value missing from the key takes the one before it.
const GainValue kGainValues[] = {
    Row(VEXCAM_VALUE_GLOBAL_GAIN),
    Row(VEXCAM_VALUE_COLOR_GAIN_GREEN1),
    Row(VEXCAM_VALUE_COLOR_GAIN_RED),
    Row(VEXCAM_VALUE_COLOR_GAIN_BLUE),
    Row(VEXCAM_VALUE_COLOR_GAIN_GREEN2),
    Row(VEXCAM_VALUE_EXPOSURE_TIME),
    {nullptr, "V_Mirror", &AnalogSettings::mirrorV},
    {nullptr, "H_Mirror", &AnalogSettings::mirrorH},
    {nullptr, "AutoIris", &AnalogSettings::autoIris},
    {nullptr, "GainMode", &AnalogSettings::gainMode},
    Row(VEXCAM_VALUE_ANALOG_GAIN),
};

// Settings of a camera without stored analog values: the camera's defaults
// (the value rows' device defaults), 0 without a camera.
void AnalogDefaults(CVexCam& cam, AnalogSettings* a) {
  CVexCamU3K9Base* c = cam.Camera();
  a->autoIris = 0;
  a->gainMode = 0;
  a->mirrorV = c != nullptr && c->GetMirrorVDefault() != 0;
  a->mirrorH = c != nullptr && c->GetMirrorHDefault() != 0;
  for (const GainValue& v : kGainValues) {
    if (v.row == nullptr) continue;
    v.Field(*a) = c != nullptr ? static_cast<int32_t>((c->*v.row->deviceDefault)(nullptr)) : 0;
  }
  if (c != nullptr && c->IsExposureTimeExSupported()) {
    uint32_t ok = 0;
    const double seconds = c->GetExposureTimeExDefault(&ok);
    if (ok && std::isfinite(seconds)) a->exposureTimeEx = seconds;
  }
}

// ---- Configuration file ----

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class ConfigRead { kOk, kCannotOpen, kTooLarge };

ConfigRead ReadDefectList(const char* fileName, std::vector<DefectPoint>* list) {
  FilePtr file(std::fopen(fileName, "rb"));
  if (!file) return ConfigRead::kCannotOpen;
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return ConfigRead::kCannotOpen;
  if (st.st_size > kMaxConfigFileBytes) return ConfigRead::kTooLarge;
  const auto records = static_cast<size_t>(st.st_size) / 8;
  list->reserve(records);
  uint8_t record[8];
  // A trailing remainder of fewer than 8 bytes is ignored.
  while (std::fread(record, 1, sizeof(record), file.get()) == sizeof(record)) {
    DefectPoint p;
    p.x = uint32_t{record[0]} | uint32_t{record[1]} << 8 | uint32_t{record[2]} << 16 |
          uint32_t{record[3]} << 24;
    p.y = uint32_t{record[4]} | uint32_t{record[5]} << 8 | uint32_t{record[6]} << 16 |
          uint32_t{record[7]} << 24;
    list->push_back(p);
  }
  if (std::ferror(file.get())) return ConfigRead::kCannotOpen;
  return ConfigRead::kOk;
}

}  // namespace

int32_t CheckColorMode(int32_t colorMode, bool has8Bit, bool has16Bit, bool hasColor) {
  if (!has8Bit && (colorMode == 0 || colorMode == 3)) colorMode = has16Bit ? 1 : 2;
  if (!hasColor && colorMode == 2) colorMode = has16Bit ? 1 : 0;
  if (!has16Bit && colorMode == 1) colorMode = hasColor ? 2 : 0;
  return colorMode;
}

uint32_t LoadSizeSettings(CVexCam& cam) {
  RegKey product;
  if (!product.Open(HKEY_CURRENT_USER, ProductKey())) {
    // First run: write the built-in values, read nothing.
    CameraKeyValues values;
    values.colorMode = FirstTimeColorMode(cam);
    const CaptureWindow builtIn;
    return SaveCameraSettings(cam, std::span<const CaptureWindow>(&builtIn, 1), values);
  }
  RegKey camera;
  if (!camera.Open(product.Get(), CameraKeyName(cam).c_str())) return 0;
  int32_t index = 0;
  {
    std::lock_guard lock(cam.SettingsLock());
    index = cam.CameraBlock().sizeIndex;
  }
  int32_t stored = 0;
  if (camera.ReadInt("Size", &stored) && stored >= 0 && stored < kMaxPresets) index = stored;
  {
    std::lock_guard lock(cam.SettingsLock());
    cam.CameraBlock().sizeIndex = index;
  }
  RegKey preset;
  if (!preset.Open(camera.Get(), PresetKeyName(index).c_str())) return 0;
  CaptureWindow w;
  {
    std::lock_guard lock(cam.SettingsLock());
    w = cam.Window();
  }
  ReadPreset(preset, &w);
  if (!IsUsablePreset(w)) return 0;
  ApplyWindow(cam, w);
  return 1;
}

uint32_t LoadCameraSettings(CVexCam& cam) {
  RegKey camera;
  if (!camera.Open(HKEY_CURRENT_USER, CameraPath(cam, "").c_str())) return 0;
  int32_t color = 0;
  int32_t subSample = 0;
  int32_t waitTime = 0;
  int32_t clock = 0;
  const bool hasColor =
      camera.ReadInt("Color", &color) && color >= 0 && color < ImagePipeline::kColorModeCount;
  // Any sub-sample code may be stored: capture treats unknown codes as 1:1.
  const bool hasSubSample = camera.ReadInt("SubSample", &subSample);
  const bool hasWaitTime = camera.ReadInt("WaitTime", &waitTime);
  const bool hasClock = camera.ReadInt("Clock", &clock);

  // The capability questions go to the camera outside the settings lock.
  bool open = CameraIsOpen(cam);
  bool has8 = false, has16 = false, hasBayer = false;
  if (open) {
    has8 = cam.Camera()->IsColorModeSupported() != 0;
    has16 = cam.Camera()->IsBinningSupported() != 0;
    hasBayer = cam.Camera()->IsSubSampleSupported() != 0;
  }
  std::lock_guard lock(cam.SettingsLock());
  if (hasColor) cam.ImageBlock().colorMode = color;
  if (open)
    cam.ImageBlock().colorMode = CheckColorMode(cam.ImageBlock().colorMode, has8, has16, hasBayer);
  if (hasSubSample) cam.ImageBlock().subSample = subSample;
  // The loop's own sleep; a negative value is refused as by VexCam_SetWaitTime.
  if (hasWaitTime && waitTime >= 0) cam.waitTimeMs.store(static_cast<uint32_t>(waitTime));
  if (hasClock) cam.CameraBlock().clock = clock;
  return 1;
}

uint32_t LoadAnalogSettings(CVexCam& cam) {
  AnalogSettings a;
  {
    std::lock_guard lock(cam.SettingsLock());
    a = cam.AnalogBlock();
  }
  RegKey key;
  const bool opened = key.Open(HKEY_CURRENT_USER, CameraPath(cam, "Gain").c_str());
  if (opened) {
    int32_t buffer = 0;
    for (const GainValue& v : kGainValues) {
      key.ReadInt(v.Name(), &buffer);
      v.Field(a) = buffer;
    }
    double seconds = 0.0;
    key.ReadDouble("ExposureEx", &seconds);
    a.exposureTimeEx = std::isfinite(seconds) ? seconds : 0.0;
  } else {
    AnalogDefaults(cam, &a);
  }
  // Switches are 0/1 and the auto-iris mode 0..2 wherever they come from.
  a.mirrorV = a.mirrorV != 0;
  a.mirrorH = a.mirrorH != 0;
  if (a.autoIris < 0 || a.autoIris > 2) a.autoIris = 0;

  std::lock_guard lock(cam.SettingsLock());
  cam.AnalogBlock() = a;
  cam.ImageBlock().mirrorV = a.mirrorV;
  cam.ImageBlock().mirrorH = a.mirrorH;
  cam.ImageBlock().autoIrisMode = a.autoIris;
  return opened ? 1 : 0;
}

uint32_t LoadFilterSettings(CVexCam& cam) { return LoadGroup(cam, "Filter"); }

uint32_t LoadGraySettings(CVexCam& cam) { return LoadGroup(cam, "Gray"); }

uint32_t SaveAnalogSettings(CVexCam& cam) {
  AnalogSettings a;
  {
    std::lock_guard lock(cam.SettingsLock());
    a = cam.AnalogBlock();
  }
  RegKey key;
  if (!CreateCameraKey(cam, "Gain", &key)) return 0;
  bool ok = true;
  for (const GainValue& v : kGainValues) ok = key.WriteInt(v.Name(), v.Field(a)) && ok;
  ok = key.WriteDouble("ExposureEx", a.exposureTimeEx) && ok;
  return ok ? 1 : 0;
}

uint32_t SaveFilterSettings(CVexCam& cam) { return SaveGroup(cam, "Filter"); }

uint32_t SaveGraySettings(CVexCam& cam) { return SaveGroup(cam, "Gray"); }

CameraKeyValues CurrentCameraKeyValues(CVexCam& cam) {
  std::lock_guard lock(cam.SettingsLock());
  CameraKeyValues v;
  v.sizeIndex = cam.CameraBlock().sizeIndex;
  v.colorMode = cam.ImageBlock().colorMode;
  v.subSample = cam.ImageBlock().subSample;
  v.waitTime = static_cast<int32_t>(cam.waitTimeMs.load());
  v.clock = cam.CameraBlock().clock;
  return v;
}

bool ReadCameraKeyValues(CVexCam& cam, CameraKeyValues* values) {
  RegKey camera;
  if (!camera.Open(HKEY_CURRENT_USER, CameraPath(cam, "").c_str())) return false;
  camera.ReadInt("Size", &values->sizeIndex);
  camera.ReadInt("Color", &values->colorMode);
  camera.ReadInt("SubSample", &values->subSample);
  camera.ReadInt("WaitTime", &values->waitTime);
  camera.ReadInt("Clock", &values->clock);
  return true;
}

uint32_t SaveCameraSettings(CVexCam& cam, std::span<const CaptureWindow> presets,
                            const CameraKeyValues& values) {
  RegKey camera;
  if (!CreateCameraKey(cam, "", &camera)) return 0;
  bool ok = true;
  const size_t count = presets.size() < kMaxPresets ? presets.size() : kMaxPresets;
  for (size_t i = 0; i < count; ++i) {
    RegKey preset;
    ok = preset.Create(camera.Get(), PresetKeyName(static_cast<int>(i)).c_str()) &&
         WritePreset(preset, presets[i]) && ok;
  }
  ok = camera.WriteInt("Size", values.sizeIndex) && ok;
  ok = camera.WriteInt("Color", values.colorMode) && ok;
  ok = camera.WriteInt("SubSample", values.subSample) && ok;
  ok = camera.WriteInt("WaitTime", values.waitTime) && ok;
  ok = camera.WriteInt("Clock", values.clock) && ok;
  return ok ? 1 : 0;
}

BOOL SetCaptureWindowFromPresets(CVexCam& cam, int width, int height) {
  if (!cam.RequireCamera()) return 0;
  // A running capture was prepared for the current window.
  if (cam.Capture().State() != kStateIdle) {
    cam.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  RegKey product;
  if (!product.Open(HKEY_CURRENT_USER, ProductKey())) {
    cam.Record(VEXCAM_ERR_NO_WINDOW);
    return 0;
  }
  CaptureWindow chosen;
  bool found = false;
  for (int i = 0; i < kMaxPresets && !found; ++i) {
    RegKey preset;
    if (!preset.Open(product.Get(), PresetKeyName(i).c_str())) break;
    CaptureWindow w;
    ReadPreset(preset, &w);
    if (w.width == width && w.height == height && IsUsablePreset(w)) {
      chosen = w;
      found = true;
    }
  }
  if (!found) {
    cam.Record(VEXCAM_ERR_NO_WINDOW);
    return 0;
  }
  int32_t subSample = 0;
  {
    std::lock_guard lock(cam.SettingsLock());
    subSample = cam.ImageBlock().subSample;
  }
  ApplyWindow(cam, chosen);
  // The images follow the window at the next capture preparation, which also
  // programs the area again. A camera that refuses the area (or none is
  // open) fails the call; the preset stays selected.
  if (!cam.Camera()->SetCaptureArea(
          static_cast<uint32_t>(chosen.x), static_cast<uint32_t>(chosen.y),
          static_cast<uint32_t>(chosen.width), static_cast<uint32_t>(chosen.height),
          static_cast<uint32_t>(subSample))) {
    cam.Record(VEXCAM_ERR_WINDOW_REJECTED);
    return 0;
  }
  return 1;
}

BOOL LoadConfigFile(CVexCam& cam, const char* fileName) {
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  std::vector<DefectPoint> list;
  switch (ReadDefectList(fileName, &list)) {
    case ConfigRead::kCannotOpen:
      return 0;
    case ConfigRead::kTooLarge:
      cam.Record(VEXCAM_ERR_MEMORY);
      return 0;
    case ConfigRead::kOk:
      break;
  }
  {
    std::lock_guard lock(cam.imageLock);
    cam.defects.defectList.swap(list);
  }
  return 1;  // the old list is freed here, outside the lock
}

BOOL LoadConfigFileW(CVexCam& cam, const wchar_t* fileName) {
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kFileNameBytes];
  if (!cam.NarrowFileName(fileName, narrow)) return 0;
  return LoadConfigFile(cam, narrow);
}

}  // namespace vexcam
