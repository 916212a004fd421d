#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Writes the image's pixel rows exactly as held in memory (top row first,
// stride x height bytes, no header). Returns 1, or 0 with no file left behind.
int WriteRawFile(const char* path, const DibImage& image);

}  // namespace vexcam
