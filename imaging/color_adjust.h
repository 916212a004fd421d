#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/row_workers.h"

namespace vexcam {

// Position of a hue rotation on the integer hue circle: a turn is 1530 steps,
// six sectors of 255; k whole sectors plus r steps.
struct HueRotation {
  int32_t k = 0;  // 0..5
  int32_t r = 0;  // 0..254
};

// Hue in degrees (-360..360) to its rotation on the 1530-step circle.
HueRotation HueRotationFor(int hue);

// The reciprocal used to place a hue within its sector: trunc(0xFF0000 / d)
// for d = 1..255, and 0 for d = 0.
int32_t HueReciprocal(int32_t d);

// Row scratch for hue and saturation (planar blue, green, red of one row).
// The in-place block kernel needs none of it; the class stays for callers
// that hold one. Reserve grows it with the widest
// image asked for; a steady stream does not allocate.
class HueSatCache {
 public:
  // Returns planar buffers for at least `width` pixels, padded to whole
  // blocks; false when memory runs out.
  bool Reserve(int width);
  int32_t* Blue() { return blue_.data(); }
  int32_t* Green() { return green_.data(); }
  int32_t* Red() { return red_.data(); }

 private:
  std::vector<int32_t> blue_, green_, red_;
};

// Hue rotation and saturation of a colour image (24, 32, 48 or 64 bits per
// pixel); other images are left alone. Works on 8-bit values (16-bit samples
// are taken by their high byte and written back shifted left by 8). The
// fourth sample of 32- and 64-bit pixels is set to 0. Hue -360..360 degrees,
// saturation -255..255 (both clamped): the chroma is scaled by
// (256 + saturation) / 256 and capped by the lightness, and the hue moves
// along the six-sector circle.
void ApplyHueSaturation(DibImage& img, int hue, int saturation, HueSatCache& cache);

// The same, then a sample table of max + 1 entries (the tone stage that
// follows), applied row by row while each row is in cache: equal to
// ApplyHueSaturation then ApplySampleTable(img, tone). tone may be null.
// With workers the rows are split into bands.
void ApplyHueSaturation(DibImage& img, int hue, int saturation, HueSatCache& cache,
                        const uint16_t* tone, RowWorkers* workers = nullptr);

}  // namespace vexcam
