#pragma once

#include <cstdint>

#include "imaging/region_op.h"

namespace vexcam {

// Conversions the file writers and the recorder need beyond the imaging depth
// conversions. Same RegionOp shape and contract: 0 without writing when the
// pixel sizes do not match, else 1; 16-bit samples little-endian.
#define VEXCAM_FILE_OP(name)                                                                   \
  int name(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,       \
           int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, const void* param1, \
           const void* param2)

VEXCAM_FILE_OP(CopyPixelRows);       // same depth: the rectangle's pixels, row by row (no padding)
VEXCAM_FILE_OP(Convert48Rgb);        // 48 -> 48: R, G, B order
VEXCAM_FILE_OP(Convert64Opaque);     // 64 -> 64: B, G, R kept, fourth sample 65535
VEXCAM_FILE_OP(Convert64RgbOpaque);  // 64 -> 64: R, G, B order, fourth sample 65535
// 8 -> 24 through a colour table: param1 points at 256 RgbQuad entries.
VEXCAM_FILE_OP(ExpandPalette8To24);
VEXCAM_FILE_OP(ExpandPalette8To24Flip);  // same, destination row i from source row bottom - 1 - i

#undef VEXCAM_FILE_OP

// Turns width B, G, R pixels into R, G, B in place.
void SwapRedBlueRow24(uint8_t* row, int width);

}  // namespace vexcam
