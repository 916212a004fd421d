#pragma once
// The camera model this build of the SDK is for. The library is built for one
// product id; its device names, settings key and settings file follow from
// the model name of that product's row. Defined by the build, once per
// library (identity/build_identity.cpp with the product chosen at configure
// time), so every layer can ask without knowing which model it is.

#include <cstdint>

namespace vexcam::build {

// USB product id of the model ("0x3200" unless the build chose another).
uint16_t ProductId();
// Model name ("ZA01").
const char* Model();
// Base of the device names: "VexCam" and the model ("VexCamZA01").
const char* DeviceBaseName();
// Settings key below HKEY_CURRENT_USER ("Software\Quorin\VexCamZA013K9Sdk").
const char* ProductKey();
// Settings file below the configuration folder ("/Quorin/VexCamZA013K9Sdk.reg").
const char* SettingsRelativePath();

}  // namespace vexcam::build
