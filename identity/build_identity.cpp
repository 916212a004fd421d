// Compiled once per library, with the product chosen at configure time:
// VEXCAM_PRODUCT_ID (a number) and VEXCAM_MODEL_NAME (a string literal).
#include "identity/build_identity.h"

#if !defined(VEXCAM_PRODUCT_ID) || !defined(VEXCAM_MODEL_NAME)
#error "the build defines VEXCAM_PRODUCT_ID and VEXCAM_MODEL_NAME"
#endif

namespace vexcam::build {

uint16_t ProductId() { return VEXCAM_PRODUCT_ID; }
const char* Model() { return VEXCAM_MODEL_NAME; }
const char* DeviceBaseName() { return "VexCam" VEXCAM_MODEL_NAME; }
const char* ProductKey() { return "Software\\Quorin\\VexCam" VEXCAM_MODEL_NAME "3K9Sdk"; }
const char* SettingsRelativePath() { return "/Quorin/VexCam" VEXCAM_MODEL_NAME "3K9Sdk.reg"; }

}  // namespace vexcam::build
