#include "imaging/color_adjust.h"

#include <algorithm>
#include <cstring>

#include "imaging/cpu_dispatch.h"
#include "imaging/sample_layout.h"
#include "imaging/tone_adjust.h"

namespace vexcam {

namespace {

// Pixels per kernel call: a fixed trip count lets the compiler vectorise the
// whole block without a scalar tail. A row's last partial block runs on a
// padded copy.
constexpr int kBlock = 64;
constexpr int32_t kStepsPerSector = 255;
constexpr int32_t kStepsPerTurn = 6 * kStepsPerSector;

// Per-frame constants of the kernel. The chroma scale
// (delta * (256 + saturation) + 128) >> 8 is split so that every product fits
// 16 bits: for saturation >= 0 it is delta + ((delta * saturation + 128) >> 8),
// otherwise (delta * (256 + saturation) + 128) >> 8; the multiplier is <= 255.
struct HueSatParams {
  uint16_t satMul;   // saturation, or 256 + saturation when negative
  uint16_t satKeep;  // 0xFFFF when saturation >= 0 (adds delta back), else 0
  int16_t hueK;      // whole sectors of the rotation, 0..5
  int16_t hueR;      // steps within the sector, 0..254
};

// Value of a channel at position j (0..5) of its sector pattern. Along the
// circle a channel is full for two sectors, falls for one, is empty for two
// and rises for one; red starts full at sector 0, green two sectors later,
// blue four.
//   sector: 0     1     2        3   4        5
//   red:    full  full  falling  0   0        rising
//   green:  0     rising full    full falling 0
//   blue:   fall  0     0        rise full    full
[[gnu::always_inline]] inline int16_t ChannelRise(int16_t j, int16_t nd, int16_t step) {
  int16_t v = j < 2 ? nd : 0;
  v = j == 2 ? static_cast<int16_t>(nd - step) : v;
  v = j == 5 ? step : v;
  return v;
}

// One block of kBlock pixels, in place. 16-bit samples are taken by their
// high byte and written back shifted left by 8; a fourth sample becomes 0.
// Everything but the sector position runs on 16-bit lanes: all values are
// 0..510 and the products are kept below 65536.
// Channel c of pixel i is px[Spp * i + c * Plane]: Plane 1 for interleaved
// pixels, kBlock for the planar copies below.
template <typename T, int Spp, int Plane = 1>
[[gnu::always_inline]] inline void HueSatBlock(T* __restrict px, const HueSatParams p) {
  constexpr int kShift = sizeof(T) == 2 ? 8 : 0;
  for (int i = 0; i < kBlock; ++i) {
    const int16_t B = static_cast<int16_t>(px[Spp * i] >> kShift);
    const int16_t G = static_cast<int16_t>(px[Spp * i + Plane] >> kShift);
    const int16_t R = static_cast<int16_t>(px[Spp * i + 2 * Plane] >> kShift);
    // Largest channel and the position of the hue within its sector;
    // ties go to red, then green.
    const bool greenOverRed = R < G;
    int16_t mx = greenOverRed ? G : R;
    const int16_t mid = greenOverRed ? R : G;
    int16_t base = greenOverRed ? 3 : 1;
    int16_t t = static_cast<int16_t>(greenOverRed ? B - R : G - B);
    const bool blueTop = B > mx;
    mx = blueTop ? B : mx;
    base = blueTop ? 5 : base;
    t = blueTop ? static_cast<int16_t>(R - G) : t;
    const int16_t mn = B < mid ? B : mid;
    const int16_t delta = static_cast<int16_t>(mx - mn);
    const bool negative = t < 0;
    base = static_cast<int16_t>(base - negative);
    t = negative ? static_cast<int16_t>(t + delta) : t;

    const int16_t l2 = static_cast<int16_t>(mx + mn);
    const uint16_t scaled = static_cast<uint16_t>(static_cast<uint16_t>(delta) * p.satMul + 128);
    const int16_t chroma = static_cast<int16_t>((scaled >> 8) + (delta & p.satKeep));
    const int16_t cap = l2 < 256 ? l2 : static_cast<int16_t>(511 - l2);
    const int16_t c = chroma < cap ? chroma : cap;
    const int16_t newMin = static_cast<int16_t>((l2 - c) >> 1);
    const int16_t newDelta = static_cast<int16_t>(((c + l2) >> 1) - newMin);

    // trunc(0xFF0000 / delta) is exact in single precision; with delta 0
    // t is 0 and so is the product, whatever the divisor.
    const int32_t recip =
        static_cast<int32_t>(16711680.0f / static_cast<float>(delta + (delta == 0)));
    int16_t pos = static_cast<int16_t>(((recip * t + 32768) >> 16) + p.hueR);
    int16_t sector = static_cast<int16_t>(base + p.hueK);
    const bool wrap = pos >= kStepsPerSector;
    pos = wrap ? static_cast<int16_t>(pos - kStepsPerSector) : pos;
    sector = static_cast<int16_t>(sector + wrap);
    sector = sector >= 6 ? static_cast<int16_t>(sector - 6) : sector;
    // newDelta * pos + 128 <= 255 * 254 + 128 fits 16 bits unsigned.
    const uint16_t prod =
        static_cast<uint16_t>(static_cast<uint16_t>(newDelta) * static_cast<uint16_t>(pos) + 128);
    const int16_t step = static_cast<int16_t>(prod >> 8);

    const int16_t jg =
        sector >= 2 ? static_cast<int16_t>(sector - 2) : static_cast<int16_t>(sector + 4);
    const int16_t jb =
        sector >= 4 ? static_cast<int16_t>(sector - 4) : static_cast<int16_t>(sector + 2);
    px[Spp * i] = static_cast<T>((newMin + ChannelRise(jb, newDelta, step)) << kShift);
    px[Spp * i + Plane] = static_cast<T>((newMin + ChannelRise(jg, newDelta, step)) << kShift);
    px[Spp * i + 2 * Plane] =
        static_cast<T>((newMin + ChannelRise(sector, newDelta, step)) << kShift);
    if constexpr (Spp == 4) px[Spp * i + 3] = 0;
  }
}

// The same block through planar 8-bit copies of the three channels: without
// wide byte permutes the interleaved loads cost more than these copies, and
// the arithmetic then runs on whole vectors.
template <typename T, int Spp>
[[gnu::always_inline]] inline void HueSatBlockPlanar(T* __restrict px, const HueSatParams p) {
  constexpr int kShift = sizeof(T) == 2 ? 8 : 0;
  alignas(64) uint8_t planes[3 * kBlock];
  for (int i = 0; i < kBlock; ++i)
    for (int c = 0; c < 3; ++c)
      planes[c * kBlock + i] = static_cast<uint8_t>(px[Spp * i + c] >> kShift);
  HueSatBlock<uint8_t, 1, kBlock>(planes, p);
  for (int i = 0; i < kBlock; ++i) {
    for (int c = 0; c < 3; ++c) px[Spp * i + c] = static_cast<T>(planes[c * kBlock + i] << kShift);
    if constexpr (Spp == 4) px[Spp * i + 3] = 0;
  }
}

template <typename T, int Spp, bool Planar>
[[gnu::always_inline]] inline void HueSatFrame(uint8_t* base, uint32_t stride, int w, int h,
                                               HueSatParams p, const uint16_t* tone) {
  // The last partial block of a row runs on a copy padded to a whole block.
  T tail[kBlock * Spp] = {};
  const int whole = w / kBlock * kBlock;
  const size_t tailBytes = static_cast<size_t>(w - whole) * Spp * sizeof(T);
  for (int y = 0; y < h; ++y) {
    T* row = reinterpret_cast<T*>(base + static_cast<size_t>(y) * stride);
    for (int x = 0; x < whole; x += kBlock) {
      if constexpr (Planar)
        HueSatBlockPlanar<T, Spp>(row + Spp * x, p);
      else
        HueSatBlock<T, Spp>(row + Spp * x, p);
    }
    if (tailBytes) {
      std::memcpy(tail, row + Spp * whole, tailBytes);
      if constexpr (Planar)
        HueSatBlockPlanar<T, Spp>(tail, p);
      else
        HueSatBlock<T, Spp>(tail, p);
      std::memcpy(row + Spp * whole, tail, tailBytes);
    }
    // The next stage's table while the row is still in cache.
    if (tone) {
      if constexpr (sizeof(T) == 1)
        MapSampleRow8(reinterpret_cast<uint8_t*>(row), reinterpret_cast<uint8_t*>(row), w, Spp,
                      tone);
      else
        MapSampleRow16(reinterpret_cast<uint16_t*>(row), reinterpret_cast<uint16_t*>(row), w, Spp,
                       tone);
    }
  }
}

// AVX-512 works on the interleaved pixels, the other paths on planar copies.
#define VEXCAM_HUESAT_VARIANT(name, T, Spp)                                                     \
  void name##Baseline(uint8_t* base, uint32_t stride, int w, int h, HueSatParams p,             \
                      const uint16_t* tone) {                                                   \
    HueSatFrame<T, Spp, true>(base, stride, w, h, p, tone);                                     \
  }                                                                                             \
  __attribute__((target("avx2"))) void name##Avx2(uint8_t* base, uint32_t stride, int w, int h, \
                                                  HueSatParams p, const uint16_t* tone) {       \
    HueSatFrame<T, Spp, true>(base, stride, w, h, p, tone);                                     \
  }                                                                                             \
  __attribute__((target("arch=x86-64-v4"))) void name##Avx512(                                  \
      uint8_t* base, uint32_t stride, int w, int h, HueSatParams p, const uint16_t* tone) {     \
    HueSatFrame<T, Spp, false>(base, stride, w, h, p, tone);                                    \
  }

VEXCAM_HUESAT_VARIANT(HueSat8x3, uint8_t, 3)
VEXCAM_HUESAT_VARIANT(HueSat8x4, uint8_t, 4)
VEXCAM_HUESAT_VARIANT(HueSat16x3, uint16_t, 3)
VEXCAM_HUESAT_VARIANT(HueSat16x4, uint16_t, 4)
#undef VEXCAM_HUESAT_VARIANT

}  // namespace

HueRotation HueRotationFor(int hue) {
  hue = std::clamp(hue, -360, 360);
  const int32_t q = hue * 65536 / 360;  // truncates toward zero
  const uint32_t u = static_cast<uint32_t>(q) & 0xFFFFu;
  const int32_t p = static_cast<int32_t>((u * 6) >> 8);  // 0..1535
  int32_t fine = p % 512;
  if (fine >= 256) fine -= 512;
  const int32_t coarse = ((p + 256) >> 9) % 3;
  int32_t o = coarse * 510 + fine;
  if (o < 0) o += kStepsPerTurn;
  if (o >= kStepsPerTurn) o -= kStepsPerTurn;
  return {o / kStepsPerSector, o % kStepsPerSector};
}

int32_t HueReciprocal(int32_t d) {
  if (d <= 0) return 0;
  return static_cast<int32_t>(16711680.0f / static_cast<float>(d));
}

bool HueSatCache::Reserve(int width) {
  if (width <= 0) return false;
  const size_t n = (static_cast<size_t>(width) + kBlock - 1) / kBlock * kBlock;
  if (blue_.size() < n) {
    // Padding lanes are computed but never written back; start them at 0.
    blue_.assign(n, 0);
    green_.assign(n, 0);
    red_.assign(n, 0);
  }
  return true;
}

void ApplyHueSaturation(DibImage& img, int hue, int saturation, HueSatCache&, const uint16_t* tone,
                        RowWorkers* workers) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel < 3) return;
  saturation = std::clamp(saturation, -255, 255);
  const HueRotation rot = HueRotationFor(hue);
  const HueSatParams p{static_cast<uint16_t>(saturation >= 0 ? saturation : saturation + 256),
                       static_cast<uint16_t>(saturation >= 0 ? 0xFFFF : 0),
                       static_cast<int16_t>(rot.k), static_cast<int16_t>(rot.r)};
  auto fn = !l.wide ? (l.samplesPerPixel == 3 ? VEXCAM_PICK(HueSat8x3) : VEXCAM_PICK(HueSat8x4))
                    : (l.samplesPerPixel == 3 ? VEXCAM_PICK(HueSat16x3) : VEXCAM_PICK(HueSat16x4));
  // Each pixel is rewritten from its own samples: rows split freely.
  auto band = [&](int, int y0, int y1) {
    fn(img.Row(y0), img.Stride(), img.Width(), y1 - y0, p, tone);
  };
  if (workers)
    workers->ForEachBand(img.Height(), band);
  else
    band(0, 0, img.Height());
}

void ApplyHueSaturation(DibImage& img, int hue, int saturation, HueSatCache& cache) {
  ApplyHueSaturation(img, hue, saturation, cache, nullptr, nullptr);
}

}  // namespace vexcam
