#pragma once
// Frames of the video converter: three samples per pixel, red, green and
// blue in that order, one byte each (8-bit transfer) or two bytes
// little-endian (16-bit), rows tightly packed, top row first. The frame is
// already colour, so it bypasses the Bayer steps: the monochrome modes take
// its luma, the colour modes its samples.
#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/row_workers.h"

namespace vexcam {

struct PlaneFrameView {
  const uint8_t* pixels = nullptr;
  int width = 0;        // pixels per row (three samples each)
  int height = 0;
  int sampleBytes = 1;  // 1 or 2
};

// Luma (59 G + 30 R + 11 B) / 100, the weights of the colour-to-gray step,
// into an 8-bit image from 8-bit samples or a 16-bit image from 16-bit ones.
// Pixel (x, y) of the image is frame pixel (x * step, y * step), so a
// camera that sent the whole window still fills a sub-sampled image.
// False when the depths do not match or the frame is too small.
bool PlanesToGray(DibImage& gray, const PlaneFrameView& frame, int step, RowWorkers* workers);

// The samples into a colour image in its blue, green, red order: Color 24
// or 32 from 8-bit samples, Color 48 or 64 from 16-bit ones; the fourth
// sample of 32- and 64-bit pixels is left alone, as the demosaic leaves it.
// mirrorH / mirrorV reverse the columns / rows while copying. Same step and
// failures as PlanesToGray.
bool PlanesToColor(DibImage& color, const PlaneFrameView& frame, int step, bool mirrorH,
                   bool mirrorV, RowWorkers* workers);

}  // namespace vexcam
