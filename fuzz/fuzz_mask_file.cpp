// Mask files from other tools: the loader, then the maps it builds feeding the
// dot and shading filters. Input: one mode byte, then the file. Mode bit 0
// grows the file to the full mask size by repeating the bytes after the
// header (so whole files are reachable from small inputs), bit 1 writes a
// valid header first, bits 2-4 shift the size by -3..+4 bytes.
#include <mutex>
#include <string>

#include "api/dispatch.h"
#include "fuzz_support.h"
#include "imaging/defect_filter.h"
#include "imaging/shading_filter.h"
#include "instance/mask_files.h"
#include "vexcam/VexCamSdk.h"

namespace vexcam::fuzz {

namespace {

void PutU32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::string MaskBytes(Reader& in) {
  const uint8_t mode = in.U8();
  std::string file(in.Rest());
  if ((mode & 1) == 0) return file;
  constexpr size_t kHeader = 40;
  std::string body = file.size() > kHeader ? file.substr(kHeader) : std::string(1, '\0');
  file.resize(kHeader, '\0');
  if (mode & 2) {
    file.replace(0, 16, std::string("QUORIN MASK1000\0", 16));
    PutU32(file, 16, 640);
    PutU32(file, 20, 512);
    PutU32(file, 24, 640 * 512);
    PutU32(file, 28, 640 * 512);
    PutU32(file, 32, 640 * 512 * 2);
    PutU32(file, 36, 640 * 512 * 2);
  }
  const size_t total = kMaskFileBytes + ((mode >> 2) & 7) - 3;
  file.reserve(total);
  while (file.size() < total) file.append(body, 0, std::min(body.size(), total - file.size()));
  return file;
}

// Runs the filters that read the loaded references on small raw frames.
void RunFilters(CVexCam& cam, uint8_t seed) {
  CaptureGeometry g;
  g.width = 64 + seed % 32;
  g.height = 48 + seed % 16;
  g.x0 = seed % 8 * 70;
  g.y0 = seed % 5 * 90;
  g.subSample = 1 << (seed % 4);
  g.canChangeWidth = g.canChangeHeight = true;
  for (int bits : {8, 16}) {
    DibImage raw;
    if (!raw.Create(g.width, g.height, bits)) continue;
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < raw.Width() * bits / 8; ++x)
        raw.Row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13);
    std::lock_guard lock(cam.imageLock);
    ApplyDotFilter(raw, cam.defects, g);
    ApplyShadingCorrection(raw, cam.defects, g);
  }
}

}  // namespace

int FuzzMaskFile(const uint8_t* data, size_t size) {
  const uint32_t h = SharedHandle();
  if (h == 0) return 0;
  Reader in(data, size);
  const uint8_t seed = size > 1 ? data[1] : 0;
  const std::string path = WriteScratchFile("mask.bin", MaskBytes(in));
  if (VexCam_LoadMaskFile(h, path.c_str())) {
    api::Dispatch(h, 0, [&](CVexCam& cam) {
      RunFilters(cam, seed);
      return 0;
    });
  }
  for (int i = 0; i < 20 && VexCam_GetLastError(h) != 0; ++i) {}
  return 0;
}

}  // namespace vexcam::fuzz

#ifdef VEXCAM_FUZZ_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexcam::fuzz::FuzzMaskFile(data, size);
}
#endif
