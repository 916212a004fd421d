#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Still image formats, by the number the application passes.
enum ImageFileFormat : int {
  kImageFileBmp = 0,
  kImageFileRaw = 1,
  kImageFileJpeg100 = 2,
  kImageFileJpeg70 = 3,
  kImageFileJpeg20 = 4,
  kImageFilePng = 5,
  kImageFileTiff = 6,
};

// Writes image to path in format (0..6 above). sourceBits tells how many bits
// of a 16-bit sample are significant: 10, 12 or 16. Returns 1 on success; 0
// for an unknown format or depth, an empty image, a file that cannot be
// written or a library error, and then no file is left behind. Any number of
// saves may run at once on different threads (on different paths).
int SaveImageFile(const char* path, const DibImage& image, int format, int sourceBits = 16);

}  // namespace vexcam
