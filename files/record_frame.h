#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Makes the recorder's frame from the image of the colour mode: a 24-bit
// image of output's size, B, G, R, rows bottom row first. Mono 8 goes through
// its colour table, Mono 16 through (sample >> 2) & 255 into scratch8 and
// then its gray table, Color 24 and 32 keep their first three bytes, Color 48
// and 64 keep the high byte of each sample. frame24 and scratch8 are
// (re)created only when their size does not match, so a recording allocates
// them once. Returns 1, or 0 for an empty image or an allocation failure.
int MakeRecordFrame(const DibImage& output, DibImage& frame24, DibImage& scratch8);

}  // namespace vexcam
