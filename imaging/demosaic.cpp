// One file for the demosaic on purpose: the generic kernel and its AVX2 and
// AVX-512 block kernels share the row buffers and the quad layout defined
// here, and must change together.

#include "imaging/demosaic.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "imaging/cpu_dispatch.h"

namespace vexcam {

namespace {

inline int ReflectCoord(int c, int n) { return c < 0 ? c + 4 : (c >= n ? c - 4 : c); }

// Source rows of output row y: the E channel's near and far rows, the O
// channel's, and the two green-bearing rows of the quad (p has its greens on
// even columns, q on odd ones). Rows outside the frame are taken two Bayer
// periods inside.
struct QuadRows {
  int e, eFar, o, oFar, p, q;
};

inline QuadRows PickRows(int y, int h, int c0, int r0, bool evenIsRed) {
  // Red rows have (row + r0) odd; the quad holds rows y-1 and y.
  const int redRow = ((y + r0) & 1) ? y : y - 1;
  const int blueRow = redRow == y ? y - 1 : y;
  const int redFar = redRow == y ? y - 2 : y + 1;
  const int blueFar = blueRow == y ? y - 2 : y + 1;
  QuadRows r;
  // The even-column channel is red when c0 is 0.
  r.e = ReflectCoord(evenIsRed ? redRow : blueRow, h);
  r.eFar = ReflectCoord(evenIsRed ? redFar : blueFar, h);
  r.o = ReflectCoord(evenIsRed ? blueRow : redRow, h);
  r.oFar = ReflectCoord(evenIsRed ? blueFar : redFar, h);
  // Row y-1 has greens on columns of parity (c0 + y - 1 + r0).
  const int rowA = ReflectCoord(y - 1, h);
  const bool aGreenEven = ((c0 + y - 1 + r0) & 1) == 0;
  r.p = aGreenEven ? rowA : y;
  r.q = aGreenEven ? y : rowA;
  return r;
}

// Row buffers of one frame, carved from the Demosaicer's scratch vector. Every
// padded buffer holds columns -2 .. w + 1 at index c + 2.
template <typename S, typename A>
struct RowBuffers {
  A* ve;  // vertical 3:1 sums of the channel on even columns
  A* vo;  // same for the channel on odd columns
  S* q;   // raw row whose greens sit on odd columns, padded
  S* pe;  // planar output of the even-column channel
  S* po;  // planar output of the odd-column channel
  S* pg;  // planar green
};

// Scaled colour sum, capped at the sample maximum: (sum * k) >> 11.
// For 8-bit data sum <= 4080 and k <= 512, so the product is formed as the
// high half of (sum << 4) * (k << 1), a single 16-bit multiply-high.
[[gnu::always_inline]] inline uint8_t ScaleSum(uint16_t sum, uint16_t k2) {
  const uint32_t v = (static_cast<uint32_t>(static_cast<uint16_t>(sum << 4)) * k2) >> 16;
  return static_cast<uint8_t>(v > 255 ? 255 : v);
}
[[gnu::always_inline]] inline uint16_t ScaleSum(uint32_t sum, uint32_t k) {
  const uint32_t v = (sum * k) >> 11;
  return static_cast<uint16_t>(v > 65535 ? 65535 : v);
}

// Vertical 3:1 sums of the two channel rows for every column.
template <typename S, typename A>
[[gnu::always_inline]] inline void VerticalPass(A* __restrict ve, A* __restrict vo,
                                                const S* __restrict e1, const S* __restrict e2,
                                                const S* __restrict o1, const S* __restrict o2,
                                                int w) {
  for (int c = 0; c < w; ++c) {
    ve[c] = static_cast<A>(3 * e1[c] + e2[c]);
    vo[c] = static_cast<A>(3 * o1[c] + o2[c]);
  }
}

// With the channel on even columns called E and the one on odd columns O:
//      col: 0  1  2  3
//           E  G  E  G      (E rows and O rows alternate; the P row has its
//           G  O  G  O       greens on even columns, the Q row on odd ones)
// Output pixel x = 2j uses E at 2j (far 2j-2) and O at 2j-1 (far 2j+1);
// x = 2j+1 uses E at 2j (far 2j+2) and O at 2j+1 (far 2j-1). ve, vo and q
// point at column 0 of buffers padded by two columns on each side.
template <typename S, typename A>
[[gnu::always_inline]] inline void PairPass(S* __restrict pe, S* __restrict po, S* __restrict pg,
                                            const A* __restrict ve, const A* __restrict vo,
                                            const S* __restrict p, const S* __restrict q, int pairs,
                                            A kE, A kO) {
  for (int j = 0; j < pairs; ++j) {
    const int x = 2 * j;
    const A e3 = static_cast<A>(3 * ve[x]);
    pe[x] = ScaleSum(static_cast<A>(e3 + ve[x - 2]), kE);
    pe[x + 1] = ScaleSum(static_cast<A>(e3 + ve[x + 2]), kE);
    po[x] = ScaleSum(static_cast<A>(3 * vo[x - 1] + vo[x + 1]), kO);
    po[x + 1] = ScaleSum(static_cast<A>(3 * vo[x + 1] + vo[x - 1]), kO);
    pg[x] = static_cast<S>((static_cast<A>(p[x]) + q[x - 1]) >> 1);
    pg[x + 1] = static_cast<S>((static_cast<A>(p[x]) + q[x + 1]) >> 1);
  }
}

template <typename S, int Channels>
[[gnu::always_inline]] inline void Interleave(S* __restrict out, const S* __restrict blue,
                                              const S* __restrict green, const S* __restrict red,
                                              int w) {
  for (int x = 0; x < w; ++x) {
    out[Channels * x + 0] = blue[x];
    out[Channels * x + 1] = green[x];
    out[Channels * x + 2] = red[x];
  }
}

// Byte shuffles that put 16 blue, green and red samples into 48 bytes of
// B, G, R pixels: mask[k][c] builds output bytes 16k..16k+15 from channel c.
struct InterleaveMasks {
  int8_t m[3][3][16];
  constexpr InterleaveMasks() : m{} {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 16; ++j) {
          const int n = 16 * k + j;
          m[k][c][j] = static_cast<int8_t>(n % 3 == c ? n / 3 : -1);
        }
  }
};
constexpr InterleaveMasks kInterleave;

__attribute__((target("avx2"))) void InterleaveBgr8Shuffle(uint8_t* __restrict out,
                                                           const uint8_t* __restrict blue,
                                                           const uint8_t* __restrict green,
                                                           const uint8_t* __restrict red, int w) {
  __m128i mask[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c)
      mask[k][c] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave.m[k][c]));
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const __m128i ch[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + x)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + x)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + x))};
    for (int k = 0; k < 3; ++k) {
      const __m128i v = _mm_or_si128(
          _mm_or_si128(_mm_shuffle_epi8(ch[0], mask[k][0]), _mm_shuffle_epi8(ch[1], mask[k][1])),
          _mm_shuffle_epi8(ch[2], mask[k][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x + 16 * k), v);
    }
  }
  for (; x < w; ++x) {
    out[3 * x] = blue[x];
    out[3 * x + 1] = green[x];
    out[3 * x + 2] = red[x];
  }
}

// Rows y0..y1-1 of one frame, h >= 4 and w >= 4. Rows outside the frame are taken two Bayer
// periods inside (row selection); columns likewise through the padding.
template <typename S, typename A, int Channels>
[[gnu::always_inline]] inline void DemosaicFrame(uint8_t* dstBase, uint32_t dstStride,
                                                 const uint8_t* srcBase, uint32_t srcStride, int w,
                                                 int h, int y0, int y1, int c0, int r0, int kE,
                                                 int kO, bool evenIsRed, bool shuffle,
                                                 RowBuffers<S, A> b) {
  // The multiplier as ScaleSum wants it (doubled for the 8-bit multiply-high).
  const A kEv = static_cast<A>(sizeof(S) == 1 ? kE * 2 : kE);
  const A kOv = static_cast<A>(sizeof(S) == 1 ? kO * 2 : kO);
  auto srcRow = [&](int y) {
    return reinterpret_cast<const S*>(srcBase + static_cast<size_t>(y) * srcStride);
  };

  for (int y = y0; y < y1; ++y) {
    const QuadRows r = PickRows(y, h, c0, r0, evenIsRed);
    VerticalPass<S, A>(b.ve + 2, b.vo + 2, srcRow(r.e), srcRow(r.eFar), srcRow(r.o), srcRow(r.oFar),
                       w);
    std::memcpy(b.q + 2, srcRow(r.q), static_cast<size_t>(w) * sizeof(S));
    // Columns -2, -1, w, w+1 mirror by two Bayer periods.
    for (A* buf : {b.ve, b.vo}) {
      buf[0] = buf[4];
      buf[1] = buf[5];
      buf[w + 2] = buf[w - 2];
      buf[w + 3] = buf[w - 1];
    }
    b.q[1] = b.q[5];
    b.q[w + 2] = b.q[w - 2];

    PairPass<S, A>(b.pe, b.po, b.pg, b.ve + 2, b.vo + 2, srcRow(r.p), b.q + 2, (w + 1) / 2, kEv,
                   kOv);
    S* out = reinterpret_cast<S*>(dstBase + static_cast<size_t>(y) * dstStride);
    const S* blue = evenIsRed ? b.po : b.pe;
    const S* red = evenIsRed ? b.pe : b.po;
    if constexpr (sizeof(S) == 1 && Channels == 3) {
      if (shuffle) {
        InterleaveBgr8Shuffle(out, blue, b.pg, red, w);
        continue;
      }
    }
    Interleave<S, Channels>(out, blue, b.pg, red, w);
  }
}

// 8-bit raw to 24-bit B, G, R in one pass per row, no row buffers: each step
// takes 32 output columns straight from the six source rows. Even and odd
// output columns sit in the low and high byte of 16-bit lanes, so the E
// samples are the low bytes of a row, the O samples the high bytes, and no
// lane crossing is needed until the interleave. Columns whose neighbours lie
// outside the frame go through Pixel8To24 with the same reflection.
struct Rows8 {
  const uint8_t* e1;  // E channel, near and far row
  const uint8_t* e2;
  const uint8_t* o1;  // O channel, near and far row
  const uint8_t* o2;
  const uint8_t* p;  // greens on even columns
  const uint8_t* q;  // greens on odd columns
};

[[gnu::always_inline]] inline void Pixel8To24(uint8_t* out, const Rows8& r, int x, int w,
                                              uint16_t kE2, uint16_t kO2, bool evenIsRed) {
  auto ve = [&](int c) {
    c = ReflectCoord(c, w);
    return static_cast<uint16_t>(3 * r.e1[c] + r.e2[c]);
  };
  auto vo = [&](int c) {
    c = ReflectCoord(c, w);
    return static_cast<uint16_t>(3 * r.o1[c] + r.o2[c]);
  };
  const int xe = x & ~1;
  const bool odd = (x & 1) != 0;
  const uint8_t e = ScaleSum(static_cast<uint16_t>(3 * ve(xe) + ve(odd ? xe + 2 : xe - 2)), kE2);
  const uint8_t o = ScaleSum(
      static_cast<uint16_t>(3 * vo(odd ? xe + 1 : xe - 1) + vo(odd ? xe - 1 : xe + 1)), kO2);
  const uint8_t g =
      static_cast<uint8_t>((r.p[xe] + r.q[ReflectCoord(odd ? xe + 1 : xe - 1, w)]) >> 1);
  out[3 * x] = evenIsRed ? o : e;
  out[3 * x + 1] = g;
  out[3 * x + 2] = evenIsRed ? e : o;
}

#define VEXCAM_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

VEXCAM_AVX2_INLINE __m256i Load32(const uint8_t* a) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
}
VEXCAM_AVX2_INLINE __m256i Times3(__m256i a) { return _mm256_add_epi16(a, _mm256_add_epi16(a, a)); }
// Vertical 3:1 sums of the low bytes (even columns) of two rows.
VEXCAM_AVX2_INLINE __m256i VertLow(const uint8_t* near, const uint8_t* far) {
  const __m256i low = _mm256_set1_epi16(0x00FF);
  return _mm256_add_epi16(Times3(_mm256_and_si256(Load32(near), low)),
                          _mm256_and_si256(Load32(far), low));
}
// Same for the high bytes (odd columns).
VEXCAM_AVX2_INLINE __m256i VertHigh(const uint8_t* near, const uint8_t* far) {
  return _mm256_add_epi16(Times3(_mm256_srli_epi16(Load32(near), 8)),
                          _mm256_srli_epi16(Load32(far), 8));
}
// ScaleSum on 16 lanes.
VEXCAM_AVX2_INLINE __m256i Scale16(__m256i sum, __m256i k) {
  return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), k), _mm256_set1_epi16(255));
}

// Interleaves three channel vectors into 96 output bytes: lane l of v[k]
// holds output bytes 48 l + 16 k .. 48 l + 16 k + 15.
VEXCAM_AVX2_INLINE void StoreInterleaved3(void* out, const __m256i (&ch)[3],
                                          const __m256i (&mask)[3][3]) {
  __m256i v[3];
  for (int k = 0; k < 3; ++k)
    v[k] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(ch[0], mask[k][0]),
                                           _mm256_shuffle_epi8(ch[1], mask[k][1])),
                           _mm256_shuffle_epi8(ch[2], mask[k][2]));
  auto* o = static_cast<__m256i*>(out);
  _mm256_storeu_si256(o, _mm256_permute2x128_si256(v[0], v[1], 0x20));
  _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(v[2], v[0], 0x30));
  _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(v[1], v[2], 0x31));
}

// Output columns x0 .. x0+31, x0 even; reads columns x0-2 .. x0+33.
VEXCAM_AVX2_INLINE void Block8To24Avx2(uint8_t* __restrict out, const Rows8& r, int x0, __m256i kE2,
                                       __m256i kO2, bool evenIsRed, const __m256i (&mask)[3][3]) {
  const __m256i low = _mm256_set1_epi16(0x00FF);
  // E at column 2j (lane j): even output takes the far sample 2j-2, odd 2j+2.
  const __m256i e0 = Times3(VertLow(r.e1 + x0, r.e2 + x0));
  const __m256i eOut = _mm256_or_si256(
      Scale16(_mm256_add_epi16(e0, VertLow(r.e1 + x0 - 2, r.e2 + x0 - 2)), kE2),
      _mm256_slli_epi16(Scale16(_mm256_add_epi16(e0, VertLow(r.e1 + x0 + 2, r.e2 + x0 + 2)), kE2),
                        8));
  // O at columns 2j-1 and 2j+1.
  const __m256i om = VertHigh(r.o1 + x0 - 2, r.o2 + x0 - 2);
  const __m256i op = VertHigh(r.o1 + x0, r.o2 + x0);
  const __m256i oOut =
      _mm256_or_si256(Scale16(_mm256_add_epi16(Times3(om), op), kO2),
                      _mm256_slli_epi16(Scale16(_mm256_add_epi16(Times3(op), om), kO2), 8));
  // Green: floor((p[2j] + q[2j -+ 1]) / 2) from the rounding average.
  const __m256i pe = _mm256_and_si256(Load32(r.p + x0), low);
  const __m256i p2 = _mm256_or_si256(pe, _mm256_slli_epi16(pe, 8));
  const __m256i q2 = _mm256_or_si256(_mm256_and_si256(Load32(r.q + x0 - 1), low),
                                     _mm256_andnot_si256(low, Load32(r.q + x0)));
  const __m256i g = _mm256_sub_epi8(
      _mm256_avg_epu8(p2, q2), _mm256_and_si256(_mm256_xor_si256(p2, q2), _mm256_set1_epi8(1)));
  StoreInterleaved3(out + 3 * x0, {evenIsRed ? oOut : eOut, g, evenIsRed ? eOut : oOut}, mask);
}

// Smallest width the 8-bit block loop takes: one block from column 2.
constexpr int kFused8MinWidth = 36;

__attribute__((target("avx2"))) void Demosaic8To24Fused(uint8_t* dstBase, uint32_t dstStride,
                                                        const uint8_t* srcBase, uint32_t srcStride,
                                                        int w, int h, int y0, int y1, int c0,
                                                        int r0, int kE, int kO, bool evenIsRed) {
  __m256i mask[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c)
      mask[k][c] = _mm256_broadcastsi128_si256(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave.m[k][c])));
  const auto kE2 = static_cast<uint16_t>(kE * 2);
  const auto kO2 = static_cast<uint16_t>(kO * 2);
  const __m256i vkE = _mm256_set1_epi16(static_cast<int16_t>(kE2));
  const __m256i vkO = _mm256_set1_epi16(static_cast<int16_t>(kO2));
  auto srcRow = [&](int y) { return srcBase + static_cast<size_t>(y) * srcStride; };
  // The last block ends at most three columns before the edge.
  const int last = (w - 34) & ~1;
  for (int y = y0; y < y1; ++y) {
    const QuadRows q = PickRows(y, h, c0, r0, evenIsRed);
    const Rows8 r{srcRow(q.e),    srcRow(q.eFar), srcRow(q.o),
                  srcRow(q.oFar), srcRow(q.p),    srcRow(q.q)};
    uint8_t* out = dstBase + static_cast<size_t>(y) * dstStride;
    Pixel8To24(out, r, 0, w, kE2, kO2, evenIsRed);
    Pixel8To24(out, r, 1, w, kE2, kO2, evenIsRed);
    int x = 2;
    for (; x < last; x += 32) Block8To24Avx2(out, r, x, vkE, vkO, evenIsRed, mask);
    Block8To24Avx2(out, r, last, vkE, vkO, evenIsRed, mask);
    for (x = last + 32; x < w; ++x) Pixel8To24(out, r, x, w, kE2, kO2, evenIsRed);
  }
}

// The 16-bit counterpart, Color 48: 32-bit lanes hold an even and an odd
// output column, 16 columns a step.
struct Rows16 {
  const uint16_t* e1;
  const uint16_t* e2;
  const uint16_t* o1;
  const uint16_t* o2;
  const uint16_t* p;
  const uint16_t* q;
};

[[gnu::always_inline]] inline void Pixel16To48(uint16_t* out, const Rows16& r, int x, int w,
                                               uint32_t kE, uint32_t kO, bool evenIsRed) {
  auto ve = [&](int c) {
    c = ReflectCoord(c, w);
    return 3u * r.e1[c] + r.e2[c];
  };
  auto vo = [&](int c) {
    c = ReflectCoord(c, w);
    return 3u * r.o1[c] + r.o2[c];
  };
  const int xe = x & ~1;
  const bool odd = (x & 1) != 0;
  const uint16_t e = ScaleSum(3 * ve(xe) + ve(odd ? xe + 2 : xe - 2), kE);
  const uint16_t o = ScaleSum(3 * vo(odd ? xe + 1 : xe - 1) + vo(odd ? xe - 1 : xe + 1), kO);
  const auto g =
      static_cast<uint16_t>((uint32_t{r.p[xe]} + r.q[ReflectCoord(odd ? xe + 1 : xe - 1, w)]) >> 1);
  out[3 * x] = evenIsRed ? o : e;
  out[3 * x + 1] = g;
  out[3 * x + 2] = evenIsRed ? e : o;
}

// 16-bit samples to B, G, R words: mask[k][c] builds output bytes 16k..16k+15
// of 8 pixels from channel c.
struct InterleaveMasks16 {
  int8_t m[3][3][16];
  constexpr InterleaveMasks16() : m{} {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        for (int j = 0; j < 16; ++j) {
          const int n = (16 * k + j) / 2;
          m[k][c][j] = static_cast<int8_t>(n % 3 == c ? 2 * (n / 3) + j % 2 : -1);
        }
  }
};
constexpr InterleaveMasks16 kInterleave16;

VEXCAM_AVX2_INLINE __m256i Load16(const uint16_t* a) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
}
VEXCAM_AVX2_INLINE __m256i Times3x32(__m256i a) {
  return _mm256_add_epi32(a, _mm256_add_epi32(a, a));
}
VEXCAM_AVX2_INLINE __m256i VertLow16(const uint16_t* near, const uint16_t* far) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  return _mm256_add_epi32(Times3x32(_mm256_and_si256(Load16(near), low)),
                          _mm256_and_si256(Load16(far), low));
}
VEXCAM_AVX2_INLINE __m256i VertHigh16(const uint16_t* near, const uint16_t* far) {
  return _mm256_add_epi32(Times3x32(_mm256_srli_epi32(Load16(near), 16)),
                          _mm256_srli_epi32(Load16(far), 16));
}
VEXCAM_AVX2_INLINE __m256i Scale32(__m256i sum, __m256i k) {
  return _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(sum, k), 11),
                          _mm256_set1_epi32(65535));
}

// Output columns x0 .. x0+15, x0 even; reads columns x0-2 .. x0+17.
VEXCAM_AVX2_INLINE void Block16To48Avx2(uint16_t* __restrict out, const Rows16& r, int x0,
                                        __m256i kE, __m256i kO, bool evenIsRed,
                                        const __m256i (&mask)[3][3]) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  const __m256i e0 = Times3x32(VertLow16(r.e1 + x0, r.e2 + x0));
  const __m256i eOut = _mm256_or_si256(
      Scale32(_mm256_add_epi32(e0, VertLow16(r.e1 + x0 - 2, r.e2 + x0 - 2)), kE),
      _mm256_slli_epi32(Scale32(_mm256_add_epi32(e0, VertLow16(r.e1 + x0 + 2, r.e2 + x0 + 2)), kE),
                        16));
  const __m256i om = VertHigh16(r.o1 + x0 - 2, r.o2 + x0 - 2);
  const __m256i op = VertHigh16(r.o1 + x0, r.o2 + x0);
  const __m256i oOut =
      _mm256_or_si256(Scale32(_mm256_add_epi32(Times3x32(om), op), kO),
                      _mm256_slli_epi32(Scale32(_mm256_add_epi32(Times3x32(op), om), kO), 16));
  const __m256i pe = _mm256_and_si256(Load16(r.p + x0), low);
  const __m256i p2 = _mm256_or_si256(pe, _mm256_slli_epi32(pe, 16));
  const __m256i q2 = _mm256_or_si256(_mm256_and_si256(Load16(r.q + x0 - 1), low),
                                     _mm256_andnot_si256(low, Load16(r.q + x0)));
  const __m256i g = _mm256_sub_epi16(
      _mm256_avg_epu16(p2, q2), _mm256_and_si256(_mm256_xor_si256(p2, q2), _mm256_set1_epi16(1)));
  StoreInterleaved3(out + 3 * x0, {evenIsRed ? oOut : eOut, g, evenIsRed ? eOut : oOut}, mask);
}

__attribute__((target("avx2"))) void Demosaic16To48Fused(uint8_t* dstBase, uint32_t dstStride,
                                                         const uint8_t* srcBase, uint32_t srcStride,
                                                         int w, int h, int y0, int y1, int c0,
                                                         int r0, int kE, int kO, bool evenIsRed) {
  __m256i mask[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c)
      mask[k][c] = _mm256_broadcastsi128_si256(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave16.m[k][c])));
  const __m256i vkE = _mm256_set1_epi32(kE);
  const __m256i vkO = _mm256_set1_epi32(kO);
  auto srcRow = [&](int y) {
    return reinterpret_cast<const uint16_t*>(srcBase + static_cast<size_t>(y) * srcStride);
  };
  const int last = (w - 18) & ~1;
  for (int y = y0; y < y1; ++y) {
    const QuadRows q = PickRows(y, h, c0, r0, evenIsRed);
    const Rows16 r{srcRow(q.e),    srcRow(q.eFar), srcRow(q.o),
                   srcRow(q.oFar), srcRow(q.p),    srcRow(q.q)};
    auto* out = reinterpret_cast<uint16_t*>(dstBase + static_cast<size_t>(y) * dstStride);
    Pixel16To48(out, r, 0, w, kE, kO, evenIsRed);
    Pixel16To48(out, r, 1, w, kE, kO, evenIsRed);
    int x = 2;
    for (; x < last; x += 16) Block16To48Avx2(out, r, x, vkE, vkO, evenIsRed, mask);
    Block16To48Avx2(out, r, last, vkE, vkO, evenIsRed, mask);
    for (x = last + 16; x < w; ++x) Pixel16To48(out, r, x, w, kE, kO, evenIsRed);
  }
}

// GCC 12 takes the undefined pass-through operand of its AVX-512 intrinsics
// for an uninitialised read.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// AVX-512 forms of the two blocks, twice as wide; the AVX2 blocks finish the
// rows' last columns.
#define VEXCAM_V4_INLINE __attribute__((target("arch=x86-64-v4"), always_inline)) inline

VEXCAM_V4_INLINE __m512i Load64(const void* a) { return _mm512_loadu_si512(a); }

VEXCAM_V4_INLINE void Interleave512(uint8_t* out, const __m512i (&ch)[3],
                                    const __m512i (&mask)[3][3]) {
  // Lane l of v[k] holds output bytes 48 l + 16 k .. 48 l + 16 k + 15.
  __m512i v[3];
  for (int k = 0; k < 3; ++k)
    v[k] = _mm512_or_si512(_mm512_or_si512(_mm512_shuffle_epi8(ch[0], mask[k][0]),
                                           _mm512_shuffle_epi8(ch[1], mask[k][1])),
                           _mm512_shuffle_epi8(ch[2], mask[k][2]));
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o + 0, _mm512_castsi512_si128(v[0]));
  _mm_storeu_si128(o + 1, _mm512_castsi512_si128(v[1]));
  _mm_storeu_si128(o + 2, _mm512_castsi512_si128(v[2]));
  _mm_storeu_si128(o + 3, _mm512_extracti32x4_epi32(v[0], 1));
  _mm_storeu_si128(o + 4, _mm512_extracti32x4_epi32(v[1], 1));
  _mm_storeu_si128(o + 5, _mm512_extracti32x4_epi32(v[2], 1));
  _mm_storeu_si128(o + 6, _mm512_extracti32x4_epi32(v[0], 2));
  _mm_storeu_si128(o + 7, _mm512_extracti32x4_epi32(v[1], 2));
  _mm_storeu_si128(o + 8, _mm512_extracti32x4_epi32(v[2], 2));
  _mm_storeu_si128(o + 9, _mm512_extracti32x4_epi32(v[0], 3));
  _mm_storeu_si128(o + 10, _mm512_extracti32x4_epi32(v[1], 3));
  _mm_storeu_si128(o + 11, _mm512_extracti32x4_epi32(v[2], 3));
}

VEXCAM_V4_INLINE __m512i Times3w(__m512i a) { return _mm512_add_epi16(a, _mm512_add_epi16(a, a)); }
VEXCAM_V4_INLINE __m512i Times3d(__m512i a) { return _mm512_add_epi32(a, _mm512_add_epi32(a, a)); }
// Vertical 3:1 sums of the low / high byte of 16-bit lanes, and of the low /
// high word of 32-bit lanes.
VEXCAM_V4_INLINE __m512i VertLowB(const uint8_t* near, const uint8_t* far) {
  const __m512i low = _mm512_set1_epi16(0x00FF);
  return _mm512_add_epi16(Times3w(_mm512_and_si512(Load64(near), low)),
                          _mm512_and_si512(Load64(far), low));
}
VEXCAM_V4_INLINE __m512i VertHighB(const uint8_t* near, const uint8_t* far) {
  return _mm512_add_epi16(Times3w(_mm512_srli_epi16(Load64(near), 8)),
                          _mm512_srli_epi16(Load64(far), 8));
}
VEXCAM_V4_INLINE __m512i VertLowW(const uint16_t* near, const uint16_t* far) {
  const __m512i low = _mm512_set1_epi32(0xFFFF);
  return _mm512_add_epi32(Times3d(_mm512_and_si512(Load64(near), low)),
                          _mm512_and_si512(Load64(far), low));
}
VEXCAM_V4_INLINE __m512i VertHighW(const uint16_t* near, const uint16_t* far) {
  return _mm512_add_epi32(Times3d(_mm512_srli_epi32(Load64(near), 16)),
                          _mm512_srli_epi32(Load64(far), 16));
}
VEXCAM_V4_INLINE __m512i ScaleB(__m512i sum, __m512i k) {
  return _mm512_min_epu16(_mm512_mulhi_epu16(_mm512_slli_epi16(sum, 4), k), _mm512_set1_epi16(255));
}
VEXCAM_V4_INLINE __m512i ScaleW(__m512i sum, __m512i k) {
  return _mm512_min_epu32(_mm512_srli_epi32(_mm512_mullo_epi32(sum, k), 11),
                          _mm512_set1_epi32(65535));
}

// Output columns x0 .. x0+63, x0 even; reads columns x0-2 .. x0+65.
VEXCAM_V4_INLINE void Block8To24Avx512(uint8_t* __restrict out, const Rows8& r, int x0, __m512i kE2,
                                       __m512i kO2, bool evenIsRed, const __m512i (&mask)[3][3]) {
  const __m512i low = _mm512_set1_epi16(0x00FF);
  const __m512i e0 = Times3w(VertLowB(r.e1 + x0, r.e2 + x0));
  const __m512i eOut = _mm512_or_si512(
      ScaleB(_mm512_add_epi16(e0, VertLowB(r.e1 + x0 - 2, r.e2 + x0 - 2)), kE2),
      _mm512_slli_epi16(ScaleB(_mm512_add_epi16(e0, VertLowB(r.e1 + x0 + 2, r.e2 + x0 + 2)), kE2),
                        8));
  const __m512i om = VertHighB(r.o1 + x0 - 2, r.o2 + x0 - 2);
  const __m512i op = VertHighB(r.o1 + x0, r.o2 + x0);
  const __m512i oOut =
      _mm512_or_si512(ScaleB(_mm512_add_epi16(Times3w(om), op), kO2),
                      _mm512_slli_epi16(ScaleB(_mm512_add_epi16(Times3w(op), om), kO2), 8));
  const __m512i pe = _mm512_and_si512(Load64(r.p + x0), low);
  const __m512i p2 = _mm512_or_si512(pe, _mm512_slli_epi16(pe, 8));
  const __m512i q2 = _mm512_or_si512(_mm512_and_si512(Load64(r.q + x0 - 1), low),
                                     _mm512_andnot_si512(low, Load64(r.q + x0)));
  const __m512i g = _mm512_sub_epi8(
      _mm512_avg_epu8(p2, q2), _mm512_and_si512(_mm512_xor_si512(p2, q2), _mm512_set1_epi8(1)));
  const __m512i ch[3] = {evenIsRed ? oOut : eOut, g, evenIsRed ? eOut : oOut};
  Interleave512(out + 3 * x0, ch, mask);
}

// Output columns x0 .. x0+31, x0 even; reads columns x0-2 .. x0+33.
VEXCAM_V4_INLINE void Block16To48Avx512(uint16_t* __restrict out, const Rows16& r, int x0,
                                        __m512i kE, __m512i kO, bool evenIsRed,
                                        const __m512i (&mask)[3][3]) {
  const __m512i low = _mm512_set1_epi32(0xFFFF);
  const __m512i e0 = Times3d(VertLowW(r.e1 + x0, r.e2 + x0));
  const __m512i eOut = _mm512_or_si512(
      ScaleW(_mm512_add_epi32(e0, VertLowW(r.e1 + x0 - 2, r.e2 + x0 - 2)), kE),
      _mm512_slli_epi32(ScaleW(_mm512_add_epi32(e0, VertLowW(r.e1 + x0 + 2, r.e2 + x0 + 2)), kE),
                        16));
  const __m512i om = VertHighW(r.o1 + x0 - 2, r.o2 + x0 - 2);
  const __m512i op = VertHighW(r.o1 + x0, r.o2 + x0);
  const __m512i oOut =
      _mm512_or_si512(ScaleW(_mm512_add_epi32(Times3d(om), op), kO),
                      _mm512_slli_epi32(ScaleW(_mm512_add_epi32(Times3d(op), om), kO), 16));
  const __m512i pe = _mm512_and_si512(Load64(r.p + x0), low);
  const __m512i p2 = _mm512_or_si512(pe, _mm512_slli_epi32(pe, 16));
  const __m512i q2 = _mm512_or_si512(_mm512_and_si512(Load64(r.q + x0 - 1), low),
                                     _mm512_andnot_si512(low, Load64(r.q + x0)));
  const __m512i g = _mm512_sub_epi16(
      _mm512_avg_epu16(p2, q2), _mm512_and_si512(_mm512_xor_si512(p2, q2), _mm512_set1_epi16(1)));
  const __m512i ch[3] = {evenIsRed ? oOut : eOut, g, evenIsRed ? eOut : oOut};
  Interleave512(reinterpret_cast<uint8_t*>(out + 3 * x0), ch, mask);
}

__attribute__((target("arch=x86-64-v4"))) void Demosaic8To24FusedAvx512(
    uint8_t* dstBase, uint32_t dstStride, const uint8_t* srcBase, uint32_t srcStride, int w, int h,
    int y0, int y1, int c0, int r0, int kE, int kO, bool evenIsRed) {
  __m256i mask[3][3];
  __m512i mask512[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c) {
      const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave.m[k][c]));
      mask[k][c] = _mm256_broadcastsi128_si256(m);
      mask512[k][c] = _mm512_broadcast_i32x4(m);
    }
  const auto kE2 = static_cast<uint16_t>(kE * 2);
  const auto kO2 = static_cast<uint16_t>(kO * 2);
  const __m256i vkE = _mm256_set1_epi16(static_cast<int16_t>(kE2));
  const __m256i vkO = _mm256_set1_epi16(static_cast<int16_t>(kO2));
  const __m512i wkE = _mm512_set1_epi16(static_cast<int16_t>(kE2));
  const __m512i wkO = _mm512_set1_epi16(static_cast<int16_t>(kO2));
  auto srcRow = [&](int y) { return srcBase + static_cast<size_t>(y) * srcStride; };
  const int last = (w - 34) & ~1;
  for (int y = y0; y < y1; ++y) {
    const QuadRows q = PickRows(y, h, c0, r0, evenIsRed);
    const Rows8 r{srcRow(q.e),    srcRow(q.eFar), srcRow(q.o),
                  srcRow(q.oFar), srcRow(q.p),    srcRow(q.q)};
    uint8_t* out = dstBase + static_cast<size_t>(y) * dstStride;
    Pixel8To24(out, r, 0, w, kE2, kO2, evenIsRed);
    Pixel8To24(out, r, 1, w, kE2, kO2, evenIsRed);
    int x = 2;
    for (; x + 66 <= w; x += 64) Block8To24Avx512(out, r, x, wkE, wkO, evenIsRed, mask512);
    for (; x < last; x += 32) Block8To24Avx2(out, r, x, vkE, vkO, evenIsRed, mask);
    Block8To24Avx2(out, r, last, vkE, vkO, evenIsRed, mask);
    for (x = last + 32; x < w; ++x) Pixel8To24(out, r, x, w, kE2, kO2, evenIsRed);
  }
}

__attribute__((target("arch=x86-64-v4"))) void Demosaic16To48FusedAvx512(
    uint8_t* dstBase, uint32_t dstStride, const uint8_t* srcBase, uint32_t srcStride, int w, int h,
    int y0, int y1, int c0, int r0, int kE, int kO, bool evenIsRed) {
  __m256i mask[3][3];
  __m512i mask512[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c) {
      const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kInterleave16.m[k][c]));
      mask[k][c] = _mm256_broadcastsi128_si256(m);
      mask512[k][c] = _mm512_broadcast_i32x4(m);
    }
  const __m256i vkE = _mm256_set1_epi32(kE);
  const __m256i vkO = _mm256_set1_epi32(kO);
  const __m512i wkE = _mm512_set1_epi32(kE);
  const __m512i wkO = _mm512_set1_epi32(kO);
  auto srcRow = [&](int y) {
    return reinterpret_cast<const uint16_t*>(srcBase + static_cast<size_t>(y) * srcStride);
  };
  const int last = (w - 18) & ~1;
  for (int y = y0; y < y1; ++y) {
    const QuadRows q = PickRows(y, h, c0, r0, evenIsRed);
    const Rows16 r{srcRow(q.e),    srcRow(q.eFar), srcRow(q.o),
                   srcRow(q.oFar), srcRow(q.p),    srcRow(q.q)};
    auto* out = reinterpret_cast<uint16_t*>(dstBase + static_cast<size_t>(y) * dstStride);
    Pixel16To48(out, r, 0, w, kE, kO, evenIsRed);
    Pixel16To48(out, r, 1, w, kE, kO, evenIsRed);
    int x = 2;
    for (; x + 34 <= w; x += 32) Block16To48Avx512(out, r, x, wkE, wkO, evenIsRed, mask512);
    for (; x < last; x += 16) Block16To48Avx2(out, r, x, vkE, vkO, evenIsRed, mask);
    Block16To48Avx2(out, r, last, vkE, vkO, evenIsRed, mask);
    for (x = last + 16; x < w; ++x) Pixel16To48(out, r, x, w, kE, kO, evenIsRed);
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#define VEXCAM_DEMOSAIC_VARIANT(name, S, A, C)                                                    \
  VEXCAM_CPU_VARIANTS(void, name,                                                                 \
                      (uint8_t * dst, uint32_t dstStride, const uint8_t* src, uint32_t srcStride, \
                       int w, int h, int y0, int y1, int c0, int r0, int kE, int kO,              \
                       bool evenIsRed, bool shuffle, RowBuffers<S, A> b),                         \
                      {                                                                           \
                        DemosaicFrame<S, A, C>(dst, dstStride, src, srcStride, w, h, y0, y1, c0,  \
                                               r0, kE, kO, evenIsRed, shuffle, b);                \
                      })

VEXCAM_DEMOSAIC_VARIANT(Demosaic8To24, uint8_t, uint16_t, 3)
VEXCAM_DEMOSAIC_VARIANT(Demosaic8To32, uint8_t, uint16_t, 4)
VEXCAM_DEMOSAIC_VARIANT(Demosaic16To48, uint16_t, uint32_t, 3)
VEXCAM_DEMOSAIC_VARIANT(Demosaic16To64, uint16_t, uint32_t, 4)
#undef VEXCAM_DEMOSAIC_VARIANT

constexpr size_t kSlices = 6;

// Words of one row-buffer slice: 64-byte multiples, room for the widest type.
size_t SliceWords(int w) {
  return ((static_cast<size_t>(w) + 8) * sizeof(uint32_t) + 63) / 64 * 16;
}

// Scratch for `parts` bands of one frame: 64-byte aligned slices of a uint32
// vector, six per band.
void ReserveScratch(std::vector<uint32_t>& scratch, int w, int parts) {
  const size_t words = static_cast<size_t>(parts) * kSlices * SliceWords(w) + 16;
  if (scratch.size() < words) scratch.assign(words, 0);
}

template <typename S, typename A>
RowBuffers<S, A> CarveBuffers(std::vector<uint32_t>& scratch, int w, int part) {
  const size_t sliceWords = SliceWords(w);
  auto* base = reinterpret_cast<uint8_t*>(scratch.data());
  base += (64 - reinterpret_cast<uintptr_t>(base) % 64) % 64;
  base += static_cast<size_t>(part) * kSlices * sliceWords * sizeof(uint32_t);
  auto slice = [&](size_t i) { return base + i * sliceWords * sizeof(uint32_t); };
  return RowBuffers<S, A>{reinterpret_cast<A*>(slice(0)), reinterpret_cast<A*>(slice(1)),
                          reinterpret_cast<S*>(slice(2)), reinterpret_cast<S*>(slice(3)),
                          reinterpret_cast<S*>(slice(4)), reinterpret_cast<S*>(slice(5))};
}

}  // namespace

int DemosaicGainFactor(int gain) {
  gain = std::clamp(gain, 0, kMaxWhiteBalanceGain);
  return static_cast<int>(gain * 1.28);
}

bool Demosaicer::Run(DibImage& dst, const DibImage& raw, int bayerMode, int gainRed, int gainBlue,
                     RowWorkers* workers) {
  if (dst.IsEmpty() || raw.IsEmpty()) return false;
  if (dst.Width() != raw.Width() || dst.Height() != raw.Height()) return false;
  const int w = raw.Width();
  const int h = raw.Height();
  if (w < 4 || h < 4) return false;
  const int mode = bayerMode & 3;
  const int c0 = kBayerColumnOffset[mode];
  const int r0 = kBayerRowOffset[mode];
  // Red sits on columns with (x + c0) even.
  const bool evenIsRed = c0 == 0;
  const int kR = DemosaicGainFactor(gainRed);
  const int kB = DemosaicGainFactor(gainBlue);
  const int kE = evenIsRed ? kR : kB;
  const int kO = evenIsRed ? kB : kR;

  const int rawBits = raw.BitCount();
  const int dstBits = dst.BitCount();
  const bool narrow = rawBits == 8 && (dstBits == 24 || dstBits == 32);
  if (!narrow && !(rawBits == 16 && (dstBits == 48 || dstBits == 64))) return false;
  const int parts = workers ? workers->Parts() : 1;
  ReserveScratch(scratch_, w, parts);
  // Every output row reads raw rows only, so bands are independent.
  // The byte-shuffle interleave of 24-bit pixels needs SSSE3; the vector
  // paths have it.
  const bool shuffle = ActiveCpuPath() != CpuPath::kBaseline;
  const bool fused = shuffle && dstBits == 24 && w >= kFused8MinWidth;
  // From 20 columns one 16-column block fits between the edges.
  const bool fused16 = shuffle && dstBits == 48 && w >= 20;
  const bool wide512 = ActiveCpuPath() == CpuPath::kAvx512;
  auto band = [&](int part, int y0, int y1) {
    if (narrow && fused)
      (wide512 ? Demosaic8To24FusedAvx512 : Demosaic8To24Fused)(dst.Pixels(), dst.Stride(),
                                                                raw.Pixels(), raw.Stride(), w, h,
                                                                y0, y1, c0, r0, kE, kO, evenIsRed);
    else if (!narrow && fused16)
      (wide512 ? Demosaic16To48FusedAvx512 : Demosaic16To48Fused)(
          dst.Pixels(), dst.Stride(), raw.Pixels(), raw.Stride(), w, h, y0, y1, c0, r0, kE, kO,
          evenIsRed);
    else if (narrow)
      (dstBits == 24 ? VEXCAM_PICK(Demosaic8To24) : VEXCAM_PICK(Demosaic8To32))(
          dst.Pixels(), dst.Stride(), raw.Pixels(), raw.Stride(), w, h, y0, y1, c0, r0, kE, kO,
          evenIsRed, shuffle, CarveBuffers<uint8_t, uint16_t>(scratch_, w, part));
    else
      (dstBits == 48 ? VEXCAM_PICK(Demosaic16To48) : VEXCAM_PICK(Demosaic16To64))(
          dst.Pixels(), dst.Stride(), raw.Pixels(), raw.Stride(), w, h, y0, y1, c0, r0, kE, kO,
          evenIsRed, shuffle, CarveBuffers<uint16_t, uint32_t>(scratch_, w, part));
  };
  if (workers)
    workers->ForEachBand(h, band);
  else
    band(0, 0, h);
  return true;
}

int GrayFromColorOp(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                    int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride, const void*,
                    const void*) {
  if (dstBpp != 1 || (srcBpp != 3 && srcBpp != 4)) return 0;
  const int n = rect.right - rect.left;
  for (int i = 0; i < rect.bottom - rect.top; ++i) {
    const uint8_t* __restrict s = src + static_cast<size_t>(rect.top + i) * srcStride +
                                  static_cast<size_t>(rect.left) * srcBpp;
    uint8_t* __restrict d = dst + static_cast<size_t>(dstY + i) * dstStride + dstX;
    if (srcBpp == 3) {
      for (int x = 0; x < n; ++x)
        d[x] =
            static_cast<uint8_t>((59u * s[3 * x + 1] + 30u * s[3 * x + 2] + 11u * s[3 * x]) / 100u);
    } else {
      for (int x = 0; x < n; ++x)
        d[x] =
            static_cast<uint8_t>((59u * s[4 * x + 1] + 30u * s[4 * x + 2] + 11u * s[4 * x]) / 100u);
    }
  }
  return 1;
}

bool GrayFromColor(DibImage& gray8, const DibImage& color) {
  if (gray8.BitCount() != 8 || (color.BitCount() != 24 && color.BitCount() != 32)) return false;
  if (gray8.Width() != color.Width() || gray8.Height() != color.Height()) return false;
  return ApplyRegionOp(gray8, GrayFromColorOp, color, nullptr, 0, 0, nullptr, nullptr) != 0;
}

}  // namespace vexcam
