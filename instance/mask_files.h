#pragma once
// Mask files: the four reference images of the shading and dot filters (dark
// and white at 8 and 16 bits per sample, each the full 640 x 512 sensor) in
// one file with the magic "QUORIN MASK1000", and the capture of the current
// raw frame as a reference. The references live in CVexCam::defects and are
// replaced only under the instance's image lock.

#include <cstddef>

#include "instance/vex_cam.h"

namespace vexcam {

// 40-byte header followed by the four blocks.
inline constexpr size_t kMaskFileBytes = 1966120;

// Load: a file that cannot be opened, has a wrong header or ends before the
// last block records 14 and leaves every reference unchanged; on success all
// four maps are rebuilt.
BOOL LoadMaskFile(CVexCam& cam, const char* fileName);
BOOL LoadMaskFileW(CVexCam& cam, const wchar_t* fileName);
// Save: a file that cannot be created or fully written records 14 and is
// removed.
BOOL SaveMaskFile(CVexCam& cam, const char* fileName);
BOOL SaveMaskFileW(CVexCam& cam, const wchar_t* fileName);
// Copies the raw frame of the colour mode into the dark (which = 0) or white
// (which = 1) reference of its depth when it covers the whole sensor, and
// rebuilds that depth's map. Any other `which` records 12.
BOOL UpdateMaskData(CVexCam& cam, int which);

}  // namespace vexcam
