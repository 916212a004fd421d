#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Writes image as a PNG: 8/16-bit gray, 24/48-bit RGB, 32/64-bit RGBA with
// an opaque alpha, 16-bit samples most significant byte first. 16-bit samples
// hold sourceBits significant bits (10, 12 or 16) and are scaled up to 16
// bits. All libpng state lives in the call, so saves may run on several
// threads at once. Returns 1, or 0 with no file left behind and nothing
// printed.
int WritePngFile(const char* path, const DibImage& image, int sourceBits);

}  // namespace vexcam
