#pragma once

#include <cstdint>

#include "imaging/region_op.h"

namespace vexcam {

// Depth conversions for display, still files and recording. Each is a
// RegionOp over src's rectangle; "Flip" variants write destination row
// (dstY + i) from source row (rect.bottom - 1 - i), i.e. bottom-up. Samples
// named B, G, R are in memory order; 16-bit samples are little-endian.
// Products are formed in 32 bits and stored as 16-bit samples (high bits
// dropped). Every op returns 0 without writing when the pixel sizes do not
// match its formats, and 1 otherwise. Parameters are unused.
#define VEXCAM_DEPTH_OP(name)                                                                  \
  int name(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,       \
           int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, const void* param1, \
           const void* param2)

VEXCAM_DEPTH_OP(Convert16To8High);         // 16 -> 8: high byte (Mono 16 preview)
VEXCAM_DEPTH_OP(Convert16To8HighFlip);     // 16 -> 8: high byte, flipped (JPEG of 16-bit)
VEXCAM_DEPTH_OP(Convert16To8Shift2Flip);   // 16 -> 8: (s >> 2) & 255, flipped (10-bit data)
VEXCAM_DEPTH_OP(Convert16To8Shift4Flip);   // 16 -> 8: (s >> 4) & 255, flipped (12-bit data)
VEXCAM_DEPTH_OP(Convert16Times16);         // 16 -> 16: s * 16 (12-bit data to 16 bits)
VEXCAM_DEPTH_OP(Convert16Times64);         // 16 -> 16: s * 64 (10-bit data to 16 bits)
VEXCAM_DEPTH_OP(Convert32To24);            // 32 -> 24: copy B, G, R
VEXCAM_DEPTH_OP(ConvertWideTo24High);      // 48 or 64 -> 24: high byte of B, G, R
VEXCAM_DEPTH_OP(ConvertWideTo24HighFlip);  // same, flipped
VEXCAM_DEPTH_OP(Convert24To24Flip);        // 24 -> 24: copy B, G, R, flipped
VEXCAM_DEPTH_OP(CopyRowsFlip);             // same depth: whole rows (shorter stride), flipped
VEXCAM_DEPTH_OP(SwapRedBlue8);             // 24 or 32 -> same: R, G, B order (fourth byte copied)
VEXCAM_DEPTH_OP(Convert32AlphaInvert);     // 32 -> 32: B, G, R, fourth = 255 - source fourth
VEXCAM_DEPTH_OP(Convert48Times16);         // 48 -> 48: each sample * 16
VEXCAM_DEPTH_OP(Convert48Times64);         // 48 -> 48: each sample * 64
VEXCAM_DEPTH_OP(Convert48RgbTimes16);      // 48 -> 48: R, G, B order, each * 16
VEXCAM_DEPTH_OP(Convert48RgbTimes64);      // 48 -> 48: R, G, B order, each * 64
VEXCAM_DEPTH_OP(Convert64Times16);         // 64 -> 64: B, G, R * 16, fourth 65535
VEXCAM_DEPTH_OP(Convert64Times64);         // 64 -> 64: B, G, R * 64, fourth 65535
VEXCAM_DEPTH_OP(Convert64RgbTimes16);      // 64 -> 64: R, G, B * 16, fourth 65535
VEXCAM_DEPTH_OP(Convert64RgbTimes64);      // 64 -> 64: R, G, B * 64, fourth 65535

#undef VEXCAM_DEPTH_OP

}  // namespace vexcam
