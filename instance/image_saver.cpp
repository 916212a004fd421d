#include "instance/image_saver.h"

#include <mutex>

#include "files/image_writer.h"
#include "imaging/image_pipeline.h"
#include "instance/capture_engine.h"
#include "platform/critical_section.h"

namespace vexcam {

namespace {

// The frames are 16-bit samples with all 16 bits significant.
constexpr int kSourceBits = 16;

}  // namespace

BOOL SaveImage(CVexCam& cam, const char* fileName, int format) {
  if (!cam.RequireCamera()) return 0;
  if (fileName == nullptr || fileName[0] == '\0') {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  if (!cam.Capture().ImageAvailable()) {
    cam.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  int mode = 0;
  {
    std::lock_guard<std::mutex> lock(cam.SettingsLock());
    mode = cam.ImageBlock().colorMode;
  }
  if (mode < 0 || mode >= ImagePipeline::kColorModeCount) {
    cam.Record(VEXCAM_ERR_NO_CAMERA);
    return 0;
  }
  CsLock lock(cam.frameLock);
  return SaveImageFile(fileName, cam.images.ImageFor(mode), format, kSourceBits) != 0 ? 1 : 0;
}

BOOL SaveImageW(CVexCam& cam, const wchar_t* fileName, int format) {
  if (fileName == nullptr || fileName[0] == L'\0') {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kFileNameBytes];
  if (!cam.NarrowFileName(fileName, narrow)) return 0;
  return SaveImage(cam, narrow, format);
}

}  // namespace vexcam
