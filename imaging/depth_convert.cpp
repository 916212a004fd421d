#include "imaging/depth_convert.h"

#include <algorithm>
#include <cstring>

namespace vexcam {

namespace {

// ForRegionRows after checking the pixel sizes.
template <bool Flip, typename RowFn>
int ForRows(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
            int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, int wantDst,
            int wantSrc, RowFn rowFn) {
  if (dstBpp != wantDst || srcBpp != wantSrc) return 0;
  return ForRegionRows<Flip>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                             rowFn);
}

inline const uint16_t* W(const uint8_t* p) { return reinterpret_cast<const uint16_t*>(p); }
inline uint16_t* W(uint8_t* p) { return reinterpret_cast<uint16_t*>(p); }

template <int Shift>
void Sample16To8(uint8_t* __restrict d, const uint8_t* __restrict s8, int n) {
  const uint16_t* __restrict s = W(s8);
  for (int x = 0; x < n; ++x) d[x] = static_cast<uint8_t>(s[x] >> Shift);
}

template <uint32_t Factor>
void Sample16Scale(uint8_t* __restrict d8, const uint8_t* __restrict s8, int n) {
  uint16_t* __restrict d = W(d8);
  const uint16_t* __restrict s = W(s8);
  for (int x = 0; x < n; ++x) d[x] = static_cast<uint16_t>(static_cast<uint32_t>(s[x]) * Factor);
}

// 8-bit samples reordered: destination sample i is source sample Order[i].
template <int DstSpp, int SrcSpp, int... Order>
void ShuffleBytes(uint8_t* __restrict d, const uint8_t* __restrict s, int n) {
  static_assert(sizeof...(Order) == DstSpp);
  for (int x = 0; x < n; ++x) {
    int i = 0;
    ((d[DstSpp * x + i++] = s[SrcSpp * x + Order]), ...);
  }
}

// Wide colour (3 or 4 16-bit samples) to 24-bit: high bytes.
template <int SrcSamples>
void WideTo24High(uint8_t* __restrict d, const uint8_t* __restrict s8, int n) {
  const uint16_t* __restrict s = W(s8);
  for (int x = 0; x < n; ++x) {
    d[3 * x + 0] = static_cast<uint8_t>(s[SrcSamples * x + 0] >> 8);
    d[3 * x + 1] = static_cast<uint8_t>(s[SrcSamples * x + 1] >> 8);
    d[3 * x + 2] = static_cast<uint8_t>(s[SrcSamples * x + 2] >> 8);
  }
}

// 16-bit colour scaled by Factor, optionally in R, G, B order; a fourth
// sample (Samples 4) becomes 65535.
template <int Samples, bool Swap, uint32_t Factor>
void WideScale(uint8_t* __restrict d8, const uint8_t* __restrict s8, int n) {
  uint16_t* __restrict d = W(d8);
  const uint16_t* __restrict s = W(s8);
  constexpr int b = Swap ? 2 : 0;
  constexpr int r = Swap ? 0 : 2;
  for (int x = 0; x < n; ++x) {
    d[Samples * x + 0] = static_cast<uint16_t>(s[Samples * x + b] * Factor);
    d[Samples * x + 1] = static_cast<uint16_t>(s[Samples * x + 1] * Factor);
    d[Samples * x + 2] = static_cast<uint16_t>(s[Samples * x + r] * Factor);
    if constexpr (Samples == 4) d[Samples * x + 3] = 65535;
  }
}

template <int Samples, bool Swap, uint32_t Factor>
int WideScaleOp(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride) {
  return ForRows<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                        2 * Samples, 2 * Samples, WideScale<Samples, Swap, Factor>);
}

}  // namespace

#define VEXCAM_DEPTH_OP_DEF(name)                                                        \
  int name(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY, \
           int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, const void*,  \
           const void*)
#define VEXCAM_ROWS(flip, wantDst, wantSrc, ...)                                           \
  ForRows<flip>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride, wantDst, \
                wantSrc, __VA_ARGS__)

VEXCAM_DEPTH_OP_DEF(Convert16To8High) { return VEXCAM_ROWS(false, 1, 2, Sample16To8<8>); }
VEXCAM_DEPTH_OP_DEF(Convert16To8HighFlip) { return VEXCAM_ROWS(true, 1, 2, Sample16To8<8>); }
VEXCAM_DEPTH_OP_DEF(Convert16To8Shift2Flip) { return VEXCAM_ROWS(true, 1, 2, Sample16To8<2>); }
VEXCAM_DEPTH_OP_DEF(Convert16To8Shift4Flip) { return VEXCAM_ROWS(true, 1, 2, Sample16To8<4>); }
VEXCAM_DEPTH_OP_DEF(Convert16Times16) { return VEXCAM_ROWS(false, 2, 2, Sample16Scale<16>); }
VEXCAM_DEPTH_OP_DEF(Convert16Times64) { return VEXCAM_ROWS(false, 2, 2, Sample16Scale<64>); }

VEXCAM_DEPTH_OP_DEF(Convert32To24) { return VEXCAM_ROWS(false, 3, 4, ShuffleBytes<3, 4, 0, 1, 2>); }

VEXCAM_DEPTH_OP_DEF(ConvertWideTo24High) {
  if (srcBpp == 8) return VEXCAM_ROWS(false, 3, 8, WideTo24High<4>);
  return VEXCAM_ROWS(false, 3, 6, WideTo24High<3>);
}
VEXCAM_DEPTH_OP_DEF(ConvertWideTo24HighFlip) {
  if (srcBpp == 8) return VEXCAM_ROWS(true, 3, 8, WideTo24High<4>);
  return VEXCAM_ROWS(true, 3, 6, WideTo24High<3>);
}

VEXCAM_DEPTH_OP_DEF(Convert24To24Flip) {
  return VEXCAM_ROWS(true, 3, 3, [](uint8_t* d, const uint8_t* s, int n) {
    std::memcpy(d, s, static_cast<size_t>(n) * 3);
  });
}

VEXCAM_DEPTH_OP_DEF(CopyRowsFlip) {
  if (dstBpp != srcBpp || dstBpp <= 0) return 0;
  // Whole rows including padding, never beyond either row.
  const size_t bytes = std::min(dstStride, srcStride);
  const bool whole = rect.left == 0 && dstX == 0;
  return VEXCAM_ROWS(true, dstBpp, srcBpp,
                     [bytes, whole, dstBpp](uint8_t* d, const uint8_t* s, int n) {
                       std::memcpy(d, s, whole ? bytes : static_cast<size_t>(n) * dstBpp);
                     });
}

VEXCAM_DEPTH_OP_DEF(SwapRedBlue8) {
  if (srcBpp == 4) return VEXCAM_ROWS(false, 4, 4, ShuffleBytes<4, 4, 2, 1, 0, 3>);
  return VEXCAM_ROWS(false, 3, 3, ShuffleBytes<3, 3, 2, 1, 0>);
}

VEXCAM_DEPTH_OP_DEF(Convert32AlphaInvert) {
  return VEXCAM_ROWS(false, 4, 4, [](uint8_t* __restrict d, const uint8_t* __restrict s, int n) {
    for (int x = 0; x < n; ++x) {
      d[4 * x + 0] = s[4 * x + 0];
      d[4 * x + 1] = s[4 * x + 1];
      d[4 * x + 2] = s[4 * x + 2];
      d[4 * x + 3] = static_cast<uint8_t>(255 - s[4 * x + 3]);
    }
  });
}

#define VEXCAM_WIDE_SCALE(name, samples, swap, factor)                                    \
  VEXCAM_DEPTH_OP_DEF(name) {                                                             \
    return WideScaleOp<samples, swap, factor>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, \
                                              dstStride, srcStride);                      \
  }
VEXCAM_WIDE_SCALE(Convert48Times16, 3, false, 16)
VEXCAM_WIDE_SCALE(Convert48Times64, 3, false, 64)
VEXCAM_WIDE_SCALE(Convert48RgbTimes16, 3, true, 16)
VEXCAM_WIDE_SCALE(Convert48RgbTimes64, 3, true, 64)
VEXCAM_WIDE_SCALE(Convert64Times16, 4, false, 16)
VEXCAM_WIDE_SCALE(Convert64Times64, 4, false, 64)
VEXCAM_WIDE_SCALE(Convert64RgbTimes16, 4, true, 16)
VEXCAM_WIDE_SCALE(Convert64RgbTimes64, 4, true, 64)

#undef VEXCAM_WIDE_SCALE
#undef VEXCAM_ROWS
#undef VEXCAM_DEPTH_OP_DEF

}  // namespace vexcam
