#include "files/file_pixel_ops.h"

#include <cstring>

namespace vexcam {

namespace {

// 16-bit samples are read and written byte-wise so rows need no alignment.
inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void Store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

template <int Samples, bool Swap>
void WideRow(uint8_t* __restrict d, const uint8_t* __restrict s, int n) {
  constexpr int kBytes = 2 * Samples;
  constexpr int b = Swap ? 4 : 0;
  constexpr int r = Swap ? 0 : 4;
  for (int x = 0; x < n; ++x) {
    const uint8_t* sp = s + kBytes * x;
    uint8_t* dp = d + kBytes * x;
    Store16(dp + 0, Load16(sp + b));
    Store16(dp + 2, Load16(sp + 2));
    Store16(dp + 4, Load16(sp + r));
    if constexpr (Samples == 4) Store16(dp + 6, 0xFFFF);
  }
}

template <bool Flip>
int ExpandPalette(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                  int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride,
                  const void* param1) {
  if (dstBpp != 3 || srcBpp != 1 || param1 == nullptr) return 0;
  const auto* table = static_cast<const RgbQuad*>(param1);
  return ForRegionRows<Flip>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                             [table](uint8_t* __restrict d, const uint8_t* __restrict s, int n) {
                               for (int x = 0; x < n; ++x) {
                                 const RgbQuad& c = table[s[x]];
                                 d[3 * x + 0] = c.blue;
                                 d[3 * x + 1] = c.green;
                                 d[3 * x + 2] = c.red;
                               }
                             });
}

}  // namespace

#define VEXCAM_FILE_OP_DEF(name)                                                         \
  int name(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY, \
           int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride,               \
           [[maybe_unused]] const void* param1, const void*)

VEXCAM_FILE_OP_DEF(CopyPixelRows) {
  if (dstBpp != srcBpp || dstBpp <= 0) return 0;
  return ForRegionRows<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                              [dstBpp](uint8_t* d, const uint8_t* s, int n) {
                                std::memcpy(d, s,
                                            static_cast<size_t>(n) * static_cast<size_t>(dstBpp));
                              });
}

VEXCAM_FILE_OP_DEF(Convert48Rgb) {
  if (dstBpp != 6 || srcBpp != 6) return 0;
  return ForRegionRows<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                              WideRow<3, true>);
}

VEXCAM_FILE_OP_DEF(Convert64Opaque) {
  if (dstBpp != 8 || srcBpp != 8) return 0;
  return ForRegionRows<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                              WideRow<4, false>);
}

VEXCAM_FILE_OP_DEF(Convert64RgbOpaque) {
  if (dstBpp != 8 || srcBpp != 8) return 0;
  return ForRegionRows<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                              WideRow<4, true>);
}

VEXCAM_FILE_OP_DEF(ExpandPalette8To24) {
  return ExpandPalette<false>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                              param1);
}

VEXCAM_FILE_OP_DEF(ExpandPalette8To24Flip) {
  return ExpandPalette<true>(dst, src, rect, dstX, dstY, dstBpp, srcBpp, dstStride, srcStride,
                             param1);
}

#undef VEXCAM_FILE_OP_DEF

void SwapRedBlueRow24(uint8_t* row, int width) {
  for (int x = 0; x < width; ++x) {
    const uint8_t b = row[3 * x];
    row[3 * x] = row[3 * x + 2];
    row[3 * x + 2] = b;
  }
}

}  // namespace vexcam
