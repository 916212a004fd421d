// Configuration files (the defect list of the configuration filter): the
// loader, then the loaded list repairing small frames. Input: one geometry
// byte, then the file.
#include <mutex>
#include <string>
#include <vector>

#include "api/dispatch.h"
#include "fuzz_support.h"
#include "imaging/defect_filter.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam::fuzz {

int FuzzConfigFile(const uint8_t* data, size_t size) {
  const uint32_t h = SharedHandle();
  if (h == 0) return 0;
  Reader in(data, size);
  const uint8_t shape = in.U8();
  const std::string path = WriteScratchFile("config.bin", in.Rest());
  if (VexCam_LoadConfigFileA(h, path.c_str())) {
    api::Dispatch(h, 0, [&](CVexCam& cam) {
      CaptureGeometry g;
      g.width = 16 + shape % 48;
      g.height = 8 + shape % 24;
      g.x0 = (shape >> 4) * 37;
      g.y0 = (shape >> 5) * 61;
      g.mirrorH = g.hwMirrorH = (shape & 1) != 0;
      g.mirrorV = g.hwMirrorV = (shape & 2) != 0;
      g.canChangeWidth = (shape & 4) != 0;
      g.canChangeHeight = (shape & 8) != 0;
      for (int bits : {8, 16}) {
        DibImage raw;
        if (!raw.Create(g.width, g.height, bits)) continue;
        std::lock_guard lock(cam.imageLock);
        ApplyConfigFilter(raw, cam.defects.defectList, g);
      }
      return 0;
    });
  }
  for (int i = 0; i < 20 && VexCam_GetLastError(h) != 0; ++i) {}
  return 0;
}

}  // namespace vexcam::fuzz

#ifdef VEXCAM_FUZZ_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexcam::fuzz::FuzzConfigFile(data, size);
}
#endif
