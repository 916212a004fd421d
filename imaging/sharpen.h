#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/row_workers.h"
#include "imaging/tone_adjust.h"

namespace vexcam {

// Row scratch of the sharpening pass (column sums of four rows). Grows with
// the widest row seen and is reused. One per pipeline; not shared.
class SharpenCache {
 public:
  bool Reserve(size_t samples);
  int32_t* Sums() { return sums_.data(); }

 private:
  std::vector<int32_t> sums_;
};

// Sharpness 0..30 (clamped; 0 does nothing). `copy` is the caller's
// sharpening copy: it receives the image's pixels first (it is recreated with
// the image's geometry only when that differs). For every pixel with
// 2 <= x <= width - 3 and 2 <= y <= height - 3, each of the first three
// samples becomes orig + trunc((orig - blur) * sharpness / 10), clamped to
// 0..max, where blur is the mean (>> 4) of the 4 x 4 block at columns
// x - 2..x + 1 and rows y - 2..y + 1. The two outer rows and columns, and the
// fourth sample of 32- and 64-bit pixels, keep their values. Returns 0 (image
// unchanged) when the copy cannot be made.
uint32_t ApplySharpness(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache);

// The same sharpening with its neighbouring tone stages folded into the one
// pass: the result equals ApplySampleTable(img, pre) (when pre is not null),
// then ApplySharpness, then ApplyBrightness(brightness) (when not 0). The copy
// receives the image after `pre`. When the copy cannot be made the tone stages
// still run and 0 is returned.
// With workers the rows are split into bands; each band makes its rows of the
// copy as it goes.
uint32_t ApplySharpnessFused(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache,
                             const uint16_t* pre, int brightness, ToneTables& tables,
                             RowWorkers* workers = nullptr);

}  // namespace vexcam
