#include "imaging/shading_filter.h"

#include <algorithm>

#include "imaging/cpu_dispatch.h"

namespace vexcam {

namespace {

constexpr int kBlock = 64;

// The quotients are exact: both operands fit the mantissa, and a non-integer
// quotient lies at least 1 / |W - D| from the next integer, farther than the
// rounding error of one division, so truncating the floating result equals
// the integer division.
// Branch-free select (c ? a : b), so the block loops have no control flow.
[[gnu::always_inline]] inline int32_t Sel(bool c, int32_t a, int32_t b) {
  return b ^ ((a ^ b) & -static_cast<int32_t>(c));
}

[[gnu::always_inline]] inline uint8_t Shade8(int32_t s, int32_t d, int32_t w) {
  const int32_t den = w - d;
  const float q = static_cast<float>((s - d) * 256) / static_cast<float>(den + (den == 0));
  int32_t v = static_cast<int32_t>(q);  // |q| <= 65280
  v = Sel(v < 0, 0, v);
  v = Sel(v > 255, 255, v);
  return static_cast<uint8_t>(Sel(den != 0, v, s));
}

[[gnu::always_inline]] inline uint16_t Shade16(int32_t s, int32_t d, int32_t w) {
  const int32_t den = w - d;
  double q = static_cast<double>(s - d) * 65536.0 / static_cast<double>(den > 0 ? den : 1);
  q = q < 0.0 ? 0.0 : q;
  q = q > 65535.0 ? 65535.0 : q;
  return static_cast<uint16_t>(den > 0 ? static_cast<int32_t>(q) : s);
}

template <typename T>
[[gnu::always_inline]] inline T Shade(int32_t s, int32_t d, int32_t w) {
  if constexpr (sizeof(T) == 1)
    return Shade8(s, d, w);
  else
    return Shade16(s, d, w);
}

template <typename T>
[[gnu::always_inline]] inline void ShadeBlock(T* __restrict s, const T* __restrict d,
                                              const T* __restrict w) {
  for (int j = 0; j < kBlock; ++j) s[j] = Shade<T>(s[j], d[j], w[j]);
}

// Whole blocks of a fixed size so the loop vectorises, then the tail.
template <typename T>
[[gnu::always_inline]] inline void ShadeSpan(T* __restrict s, const T* __restrict d,
                                             const T* __restrict w, int n) {
  int i = 0;
  for (; i + kBlock <= n; i += kBlock) ShadeBlock<T>(s + i, d + i, w + i);
  for (; i < n; ++i) s[i] = Shade<T>(s[i], d[i], w[i]);
}

template <typename T>
[[gnu::always_inline]] inline void ShadeSpanStep(T* __restrict s, const T* __restrict d,
                                                 const T* __restrict w, int n, int step) {
  for (int i = 0; i < n; ++i) s[i] = Shade<T>(s[i], d[i * step], w[i * step]);
}

template <typename T>
[[gnu::always_inline]] inline void ShadeImage(DibImage& raw, const DibImage& dark,
                                              const DibImage& white, const CaptureGeometry& g) {
  const int sub = std::max(1, g.subSample);
  const int margin =
      (g.width == DefectState::kSensorWidth || g.height == DefectState::kSensorHeight) ? 2 : 0;
  const int64_t x0 = g.x0, y0 = g.y0;
  // Frame columns whose sensor column x0 + c * sub lies on the sensor.
  int64_t cLo = margin, cHi = static_cast<int64_t>(raw.Width()) - margin;
  if (x0 < 0) cLo = std::max<int64_t>(cLo, (-x0 + sub - 1) / sub);
  cHi = std::min<int64_t>(cHi, x0 <= DefectState::kSensorWidth - 1
                                   ? (DefectState::kSensorWidth - 1 - x0) / sub + 1
                                   : 0);
  if (cLo >= cHi) return;
  for (int r = margin; r < raw.Height() - margin; ++r) {
    const int64_t sy = y0 + static_cast<int64_t>(r) * sub;
    if (sy < 0 || sy >= DefectState::kSensorHeight) continue;
    const int64_t sx = x0 + cLo * sub;
    T* s = reinterpret_cast<T*>(raw.Row(r)) + cLo;
    const T* d = reinterpret_cast<const T*>(dark.Row(static_cast<int>(sy))) + sx;
    const T* w = reinterpret_cast<const T*>(white.Row(static_cast<int>(sy))) + sx;
    const int n = static_cast<int>(cHi - cLo);
    if (sub == 1)
      ShadeSpan<T>(s, d, w, n);
    else
      ShadeSpanStep<T>(s, d, w, n, sub);
  }
}

VEXCAM_CPU_VARIANTS(void, Shade8Image,
                    (DibImage & raw, const DibImage& dark, const DibImage& white,
                     const CaptureGeometry& g),
                    { ShadeImage<uint8_t>(raw, dark, white, g); })

VEXCAM_CPU_VARIANTS(void, Shade16Image,
                    (DibImage & raw, const DibImage& dark, const DibImage& white,
                     const CaptureGeometry& g),
                    { ShadeImage<uint16_t>(raw, dark, white, g); })

bool IsReference(const DibImage& img, int bits) {
  return !img.IsEmpty() && img.Width() == DefectState::kSensorWidth &&
         img.Height() == DefectState::kSensorHeight && img.BitCount() == bits;
}

}  // namespace

void ApplyShadingCorrection(DibImage& raw, const DefectState& state,
                            const CaptureGeometry& geometry) {
  if (raw.IsEmpty()) return;
  if (raw.BitCount() == 8 && IsReference(state.dark8, 8) && IsReference(state.white8, 8))
    VEXCAM_PICK(Shade8Image)(raw, state.dark8, state.white8, geometry);
  else if (raw.BitCount() == 16 && IsReference(state.dark16, 16) && IsReference(state.white16, 16))
    VEXCAM_PICK(Shade16Image)(raw, state.dark16, state.white16, geometry);
}

}  // namespace vexcam
