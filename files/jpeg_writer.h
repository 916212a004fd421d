#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Writes image as a progressive JPEG of the given quality (1..100): 8- and
// 16-bit images as one gray component, colour images as RGB. 16-bit samples
// hold sourceBits significant bits (10, 12 or 16) and are reduced to 8 bits
// accordingly; 48- and 64-bit images keep the high byte of each sample.
// Returns 1, or 0 with no file left behind and nothing printed.
int WriteJpegFile(const char* path, const DibImage& image, int quality, int sourceBits);

}  // namespace vexcam
