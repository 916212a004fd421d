#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Writes image as a BMP file: 14-byte file header, the image's 40-byte info
// header, its 256-entry colour table for 8-bit images, then the rows bottom
// row first, each padded to a multiple of 4 bytes. Any bit count the image can
// have is written as it is. Returns 1, or 0 with no file left behind.
int WriteBmpFile(const char* path, const DibImage& image);

}  // namespace vexcam
