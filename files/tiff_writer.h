#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Writes image as an uncompressed single-strip TIFF: 8/16-bit min-is-black
// gray, 24/48-bit RGB, 32/64-bit RGB with a fourth unspecified sample, in
// R, G, B order. 16-bit samples hold sourceBits significant bits (10, 12 or
// 16) and are scaled up to 16 bits. Returns 1, or 0 with no file left behind
// and no libtiff message printed.
int WriteTiffFile(const char* path, const DibImage& image, int sourceBits);

}  // namespace vexcam
