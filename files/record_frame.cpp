#include "files/record_frame.h"

#include <immintrin.h>

#include <cstring>

#include "files/file_pixel_ops.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/depth_convert.h"

namespace vexcam {

namespace {

bool Fit(DibImage& image, int width, int height, int bitCount) {
  if (!image.IsEmpty() && image.Width() == width && image.Height() == height &&
      image.BitCount() == bitCount)
    return true;
  return image.Create(width, height, bitCount);
}

bool IsGrayRamp(const RgbQuad* table) {
  for (int i = 0; i < 256; ++i)
    if (table[i].blue != i || table[i].green != i || table[i].red != i) return false;
  return true;
}

// The row kernels below write pixel x as one 4-byte store at 3x whose fourth
// byte the next pixel overwrites; the last pixel stores its three bytes
// alone, so nothing is written past the row's 3n bytes. They start at pixel
// `from`, where a vector loop has left off.

// Colour-table entries (B, G, R, reserved) of 8-bit samples.
[[gnu::always_inline]] inline void PaletteRow(uint8_t* __restrict d, const uint8_t* __restrict s,
                                              int n, const RgbQuad* table) {
  for (int x = 0; x < n - 1; ++x) std::memcpy(d + 3 * x, &table[s[x]], 4);
  if (n > 0) std::memcpy(d + 3 * (n - 1), &table[s[n - 1]], 3);
}

// Gray samples repeated into B, G and R.
[[gnu::always_inline]] inline void GrayRowFrom(uint8_t* __restrict d, const uint8_t* __restrict s,
                                               int from, int n) {
  for (int x = from; x < n - 1; ++x) {
    const uint32_t v = s[x] * 0x010101u;
    std::memcpy(d + 3 * x, &v, 4);
  }
  if (n > from) std::memset(d + 3 * (n - 1), s[n - 1], 3);
}

// The first three bytes of 4-byte pixels.
[[gnu::always_inline]] inline void QuadRowFrom(uint8_t* __restrict d, const uint8_t* __restrict s,
                                               int from, int n) {
  for (int x = from; x < n - 1; ++x) std::memcpy(d + 3 * x, s + 4 * x, 4);
  if (n > from) std::memcpy(d + 3 * (n - 1), s + 4 * (n - 1), 3);
}

// Baseline: the 4-byte stores alone. The AVX2 kernels below also serve the
// AVX-512 path, where they already run at the speed of the stores.
void GrayRowBaseline(uint8_t* d, const uint8_t* s, int n) { GrayRowFrom(d, s, 0, n); }
void QuadRowBaseline(uint8_t* d, const uint8_t* s, int n) { QuadRowFrom(d, s, 0, n); }

// 16 gray samples to 48 bytes by three byte shuffles.
__attribute__((target("avx2"))) void GrayRowShuffle(uint8_t* d, const uint8_t* s, int n) {
  const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
    uint8_t* o = d + 3 * x;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(g, m0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(g, m1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(g, m2));
  }
  GrayRowFrom(d, s, x, n);
}

// 8 pixels of 4 bytes to 24 bytes: a shuffle per 16-byte lane drops the
// fourth bytes, a lane permute closes the gap, one 32-byte store whose last
// 8 bytes the next step overwrites (hence the 11-pixel margin).
__attribute__((target("avx2"))) void QuadRowShuffle(uint8_t* d, const uint8_t* s, int n) {
  const __m256i drop = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                        1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i close = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  int x = 0;
  for (; x + 11 <= n; x += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * x));
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(p, drop), close);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 3 * x), packed);
  }
  QuadRowFrom(d, s, x, n);
}

using RowFn = void (*)(uint8_t*, const uint8_t*, int);

RowFn PickGrayRow() {
  return ActiveCpuPath() == CpuPath::kBaseline ? GrayRowBaseline : GrayRowShuffle;
}
RowFn PickQuadRow() {
  return ActiveCpuPath() == CpuPath::kBaseline ? QuadRowBaseline : QuadRowShuffle;
}

// Output row i of frame24 from image row height - 1 - i.
template <typename F>
void FlippedRows(DibImage& frame24, const DibImage& output, F row) {
  const int h = output.Height();
  for (int i = 0; i < h; ++i) row(frame24.Row(i), output.Row(h - 1 - i), output.Width());
}

}  // namespace

int MakeRecordFrame(const DibImage& output, DibImage& frame24, DibImage& scratch8) {
  if (output.IsEmpty()) return 0;
  const int w = output.Width();
  const int h = output.Height();
  if (!Fit(frame24, w, h, 24)) return 0;
  switch (output.BitCount()) {
    case 8: {
      const RgbQuad* table = output.Colors();
      if (IsGrayRamp(table)) {
        FlippedRows(frame24, output, PickGrayRow());
      } else {
        FlippedRows(frame24, output,
                    [table](uint8_t* d, const uint8_t* s, int n) { PaletteRow(d, s, n, table); });
      }
      return 1;
    }
    case 16:
      if (!Fit(scratch8, w, h, 8)) return 0;
      if (!ApplyRegionOp(scratch8, Convert16To8Shift2Flip, output, nullptr, 0, 0, nullptr, nullptr))
        return 0;
      return ApplyRegionOp(frame24, ExpandPalette8To24, scratch8, nullptr, 0, 0, scratch8.Colors(),
                           nullptr);
    case 24:
      return ApplyRegionOp(frame24, Convert24To24Flip, output, nullptr, 0, 0, nullptr, nullptr);
    case 32:
      FlippedRows(frame24, output, PickQuadRow());
      return 1;
    case 48:
    case 64:
      return ApplyRegionOp(frame24, ConvertWideTo24HighFlip, output, nullptr, 0, 0, nullptr,
                           nullptr);
    default:
      return 0;
  }
}

}  // namespace vexcam
