#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/dib_image.h"

namespace vexcam {

// Rectangle in source pixel coordinates; right and bottom are exclusive.
struct RegionRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// Shape of every per-pixel routine. dst and src are the images' first pixel
// rows; rect is already clipped to both images; (dstX, dstY) is where rect's
// top-left corner lands in dst; Bpp are bytes per pixel. Unless a routine says
// otherwise it reads src row (rect.top + i) and writes dst row (dstY + i).
// Returns 1.
using RegionOp = int (*)(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX,
                         int dstY, int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride,
                         const void* param1, const void* param2);

// Runs op over rect of src (the whole of src when rect is null), placed at
// (x, y) in dst. The rectangle is clipped to src and, keeping each source
// pixel's destination position, to dst. Returns 0 without running op when op
// is null, an image is empty or nothing remains; otherwise op's result.
// dst and src may be the same image (in-place routines).
int ApplyRegionOp(DibImage& dst, RegionOp op, const DibImage& src, const RegionRect* rect, int x,
                  int y, const void* p1, const void* p2);

// The row walk of a RegionOp: rowFn(dstRow, srcRow, pixels) for each row of
// rect, both rows addressed at the rectangle's left edge. Flip reads source
// row (rect.bottom - 1 - i) for destination row (dstY + i). Returns 1.
template <bool Flip, typename RowFn>
int ForRegionRows(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                  int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, RowFn rowFn) {
  const int n = rect.right - rect.left;
  const int rows = rect.bottom - rect.top;
  for (int i = 0; i < rows; ++i) {
    const int sy = Flip ? rect.bottom - 1 - i : rect.top + i;
    const uint8_t* s =
        src + static_cast<size_t>(sy) * srcStride + static_cast<size_t>(rect.left) * srcBpp;
    uint8_t* d =
        dst + static_cast<size_t>(dstY + i) * dstStride + static_cast<size_t>(dstX) * dstBpp;
    rowFn(d, s, n);
  }
  return 1;
}

}  // namespace vexcam
