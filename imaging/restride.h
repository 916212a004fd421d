#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Re-lays a frame stored tightly packed (rows of width x bytesPerPixel bytes
// from the start of the pixels) into the image's own 4-byte-aligned rows, in
// place. Rows move from the bottom up so no row is overwritten before it has
// moved. Returns false for an empty image or a pixel size that does not fit
// the image's rows.
bool RestrideRows(DibImage& img, int bytesPerPixel);

}  // namespace vexcam
