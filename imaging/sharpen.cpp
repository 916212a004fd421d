#include "imaging/sharpen.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "imaging/cpu_dispatch.h"
#include "imaging/sample_layout.h"

namespace vexcam {

namespace {

// Blur block: columns x - 2 .. x + 1, rows y - 2 .. y + 1 around pixel (x, y).
//   . . . .
//   . . . .
//   . . X .
//   . . . .
constexpr int kEdge = 2;

// Arithmetic type of the row kernel. For 8-bit samples every intermediate fits
// 16 bits (column sums <= 1020, block sums <= 4080, |orig - blur| * 30 <=
// 7650), which doubles the lanes per vector.
template <typename T>
using Acc = std::conditional_t<sizeof(T) == 1, int16_t, int32_t>;

template <typename T>
constexpr int32_t kMaxOf = sizeof(T) == 1 ? 255 : 65535;

// trunc(v * f) in single precision, capped at max (f >= 0).
template <typename T>
[[gnu::always_inline]] inline T Bright(int32_t v, float f) {
  const int32_t b = static_cast<int32_t>(static_cast<float>(v) * f);
  return static_cast<T>(b < kMaxOf<T> ? b : kMaxOf<T>);
}

// Brightness of n samples from src into dst; with Spp 4 the fourth sample of
// each pixel is copied as is. n counts whole pixels' samples.
template <typename T, int Spp>
[[gnu::always_inline]] inline void BrightRow(T* __restrict dst, const T* __restrict src, int n,
                                             float f) {
  for (int i = 0; i < n; ++i) {
    const T b = Bright<T>(src[i], f);
    dst[i] = (Spp == 4 && (i & 3) == 3) ? src[i] : b;
  }
}

// One interior row: r0..r3 are copy rows y - 2 .. y + 1 (r2 is row y), out is
// image row y. Samples of pixels 2 .. w - 3 are written.
template <typename T, int Spp, bool Brighten>
[[gnu::always_inline]] inline void SharpenRow(T* __restrict out, const T* __restrict r0,
                                              const T* __restrict r1, const T* __restrict r2,
                                              const T* __restrict r3,
                                              std::make_unsigned_t<Acc<T>>* __restrict v, int w,
                                              int32_t sharpness, float f) {
  using A = Acc<T>;
  const int n = w * Spp;
  using U = std::make_unsigned_t<A>;
  for (int i = 0; i < n; ++i) v[i] = static_cast<U>(r0[i] + r1[i] + r2[i] + r3[i]);
  const A s = static_cast<A>(sharpness);
  const int first = kEdge * Spp;
  const int last = (w - kEdge) * Spp;
  for (int i = first; i < last; ++i) {
    // The block sum fits the narrow type; saying so keeps the adds narrow.
    const U sum = static_cast<U>(v[i - 2 * Spp] + v[i - Spp] + v[i] + v[i + Spp]);
    const A blur = static_cast<A>(sum >> 4);
    const A orig = static_cast<A>(r2[i]);
    const A q = static_cast<A>(static_cast<A>((orig - blur) * s) / 10);
    A o = static_cast<A>(orig + q);
    o = o < 0 ? 0 : o;
    o = o > kMaxOf<T> ? static_cast<A>(kMaxOf<T>) : o;
    const T res = Brighten ? Bright<T>(o, f) : static_cast<T>(o);
    out[i] = (Spp == 4 && (i & 3) == 3) ? r2[i] : res;
  }
}

template <typename T, int Spp, bool Brighten>
[[gnu::always_inline]] inline void SharpenFrame(uint8_t* img, const uint8_t* copy, uint32_t stride,
                                                int w, int h, int y0, int y1, int32_t sharpness,
                                                float f, void* scratch) {
  auto src = [&](int y) {
    return reinterpret_cast<const T*>(copy + static_cast<size_t>(y) * stride);
  };
  auto* v = static_cast<std::make_unsigned_t<Acc<T>>*>(scratch);
  for (int y = std::max(y0, kEdge); y < std::min(y1, h - kEdge); ++y) {
    T* out = reinterpret_cast<T*>(img + static_cast<size_t>(y) * stride);
    SharpenRow<T, Spp, Brighten>(out, src(y - 2), src(y - 1), src(y), src(y + 1), v, w, sharpness,
                                 f);
  }
}

#define VEXCAM_SHARPEN_VARIANT(name, T, Spp, B)                                           \
  VEXCAM_CPU_VARIANTS(                                                                    \
      void, name,                                                                         \
      (uint8_t * img, const uint8_t* copy, uint32_t stride, int w, int h, int y0, int y1, \
       int32_t s, float f, void* scratch),                                                \
      { SharpenFrame<T, Spp, B>(img, copy, stride, w, h, y0, y1, s, f, scratch); })

VEXCAM_SHARPEN_VARIANT(Sharpen8x1, uint8_t, 1, false)
VEXCAM_SHARPEN_VARIANT(Sharpen8x3, uint8_t, 3, false)
VEXCAM_SHARPEN_VARIANT(Sharpen8x4, uint8_t, 4, false)
VEXCAM_SHARPEN_VARIANT(Sharpen16x1, uint16_t, 1, false)
VEXCAM_SHARPEN_VARIANT(Sharpen16x3, uint16_t, 3, false)
VEXCAM_SHARPEN_VARIANT(Sharpen16x4, uint16_t, 4, false)
VEXCAM_SHARPEN_VARIANT(SharpenBright8x1, uint8_t, 1, true)
VEXCAM_SHARPEN_VARIANT(SharpenBright8x3, uint8_t, 3, true)
VEXCAM_SHARPEN_VARIANT(SharpenBright8x4, uint8_t, 4, true)
VEXCAM_SHARPEN_VARIANT(SharpenBright16x1, uint16_t, 1, true)
VEXCAM_SHARPEN_VARIANT(SharpenBright16x3, uint16_t, 3, true)
VEXCAM_SHARPEN_VARIANT(SharpenBright16x4, uint16_t, 4, true)
#undef VEXCAM_SHARPEN_VARIANT

using SharpenFn = void (*)(uint8_t*, const uint8_t*, uint32_t, int, int, int, int, int32_t, float,
                           void*);

SharpenFn PickSharpen(bool wide, int spp, bool brighten) {
  const SharpenFn kPlain[2][3] = {
      {VEXCAM_PICK(Sharpen8x1), VEXCAM_PICK(Sharpen8x3), VEXCAM_PICK(Sharpen8x4)},
      {VEXCAM_PICK(Sharpen16x1), VEXCAM_PICK(Sharpen16x3), VEXCAM_PICK(Sharpen16x4)}};
  const SharpenFn kBright[2][3] = {
      {VEXCAM_PICK(SharpenBright8x1), VEXCAM_PICK(SharpenBright8x3), VEXCAM_PICK(SharpenBright8x4)},
      {VEXCAM_PICK(SharpenBright16x1), VEXCAM_PICK(SharpenBright16x3),
       VEXCAM_PICK(SharpenBright16x4)}};
  const int k = spp == 1 ? 0 : spp == 3 ? 1 : 2;
  return (brighten ? kBright : kPlain)[wide][k];
}

// Brightness of the two outer rows and columns on every side, from the copy:
// the sharpening pass leaves them out.
template <typename T, int Spp>
void BorderBrightness(DibImage& img, const DibImage& copy, float f, int y0, int y1) {
  const int w = img.Width();
  const int h = img.Height();
  const int n = w * Spp;
  for (int y = y0; y < y1; ++y) {
    const T* src = reinterpret_cast<const T*>(copy.Row(y));
    T* dst = reinterpret_cast<T*>(img.Row(y));
    if (y < kEdge || y >= h - kEdge) {
      BrightRow<T, Spp>(dst, src, n, f);
    } else {
      BrightRow<T, Spp>(dst, src, kEdge * Spp, f);
      BrightRow<T, Spp>(dst + (w - kEdge) * Spp, src + (w - kEdge) * Spp, kEdge * Spp, f);
    }
  }
}

// Makes the copy: the image's rows, through `pre` when given.
void FillCopy(DibImage& copy, const DibImage& img, const SampleLayout& l, const uint16_t* pre,
              int y0, int y1) {
  if (!pre) {
    std::memcpy(copy.Row(y0), img.Row(y0), static_cast<size_t>(y1 - y0) * img.Stride());
    return;
  }
  for (int y = y0; y < y1; ++y) {
    if (l.wide)
      MapSampleRow16(reinterpret_cast<uint16_t*>(copy.Row(y)),
                     reinterpret_cast<const uint16_t*>(img.Row(y)), img.Width(), l.samplesPerPixel,
                     pre);
    else
      MapSampleRow8(copy.Row(y), img.Row(y), img.Width(), l.samplesPerPixel, pre);
  }
}

}  // namespace

bool SharpenCache::Reserve(size_t samples) {
  if (sums_.size() < samples) sums_.assign(samples, 0);
  return true;
}

namespace {

// The outer two rows and columns within rows y0..y1-1 keep the copy's
// values: those after `pre`, then brightness.
void BandEdges(DibImage& img, const DibImage& copy, const SampleLayout& l, const uint16_t* pre,
               bool brighten, float f, int y0, int y1) {
  const int w = img.Width();
  const int h = img.Height();
  if (brighten) {
    const int key = l.samplesPerPixel + (l.wide ? 8 : 0);
    switch (key) {
      case 1:
        BorderBrightness<uint8_t, 1>(img, copy, f, y0, y1);
        break;
      case 3:
        BorderBrightness<uint8_t, 3>(img, copy, f, y0, y1);
        break;
      case 4:
        BorderBrightness<uint8_t, 4>(img, copy, f, y0, y1);
        break;
      case 9:
        BorderBrightness<uint16_t, 1>(img, copy, f, y0, y1);
        break;
      case 11:
        BorderBrightness<uint16_t, 3>(img, copy, f, y0, y1);
        break;
      default:
        BorderBrightness<uint16_t, 4>(img, copy, f, y0, y1);
        break;
    }
    return;
  }
  if (!pre) return;
  const size_t bytesPerPixel = static_cast<size_t>(img.BytesPerPixel());
  for (int y = y0; y < y1; ++y) {
    if (y < kEdge || y >= h - kEdge) {
      std::memcpy(img.Row(y), copy.Row(y), static_cast<size_t>(w) * bytesPerPixel);
    } else {
      std::memcpy(img.Row(y), copy.Row(y), kEdge * bytesPerPixel);
      const size_t right = static_cast<size_t>(w - kEdge) * bytesPerPixel;
      std::memcpy(img.Row(y) + right, copy.Row(y) + right, kEdge * bytesPerPixel);
    }
  }
}

// tables is used only for brightness, and may be null when brightness is 0.
uint32_t Sharpen(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache,
                 const uint16_t* pre, int brightness, ToneTables* tables, RowWorkers* workers) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0) return 1;
  sharpness = std::clamp(sharpness, 0, 30);
  brightness = std::clamp(brightness, -255, 255);
  const int w = img.Width();
  const int h = img.Height();
  auto toneOnly = [&]() {
    if (pre) ApplySampleTable(img, pre);
    if (brightness != 0 && tables) ApplyBrightness(img, brightness, *tables);
  };
  // Without sharpening or an interior only the tone stages change anything.
  if (sharpness == 0 || w < 2 * kEdge + 1 || h < 2 * kEdge + 1) {
    toneOnly();
    return 1;
  }
  const size_t rowSamples = static_cast<size_t>(w) * static_cast<size_t>(l.samplesPerPixel);
  if (copy.Width() != w || copy.Height() != h || copy.BitCount() != img.BitCount()) {
    if (!copy.CloneFrom(img)) {
      toneOnly();
      return 0;
    }
  }
  const int parts = workers ? workers->Parts() : 1;
  // One row of column sums per band, rounded to whole cache lines.
  const size_t sumsPerPart = (rowSamples + 15) / 16 * 16;
  cache.Reserve(sumsPerPart * static_cast<size_t>(parts));
  auto split = [&](auto&& fn) {
    if (workers)
      workers->ForEachBand(h, fn);
    else
      fn(0, 0, h);
  };
  const bool brighten = brightness != 0 && tables;
  const float f = BrightnessFactor(brightness);
  const SharpenFn kernel = PickSharpen(l.wide, l.samplesPerPixel, brighten);
  // Output row y reads copy rows y - 2 .. y + 1. A band makes its own rows of
  // the copy just before it reads them, while they are in cache, except the
  // rows a neighbouring band reads (its first and its last two): the band
  // overwrites those in place, so they are copied before any band starts.
  // Both passes get the same bands.
  auto shared = [](int r, int y0, int y1) { return r == y0 || r >= y1 - 2; };
  split([&](int, int y0, int y1) {
    for (int r = y0; r < y1; ++r)
      if (shared(r, y0, y1)) FillCopy(copy, img, l, pre, r, r + 1);
  });
  split([&](int part, int y0, int y1) {
    void* sums = cache.Sums() + sumsPerPart * static_cast<size_t>(part);
    for (int y = y0; y < y1; ++y) {
      if (y + 1 < y1 && !shared(y + 1, y0, y1)) FillCopy(copy, img, l, pre, y + 1, y + 2);
      kernel(img.Pixels(), copy.Pixels(), img.Stride(), w, h, y, y + 1, sharpness, f, sums);
      BandEdges(img, copy, l, pre, brighten, f, y, y + 1);
    }
  });
  return 1;
}

}  // namespace

uint32_t ApplySharpness(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache) {
  return Sharpen(img, sharpness, copy, cache, nullptr, 0, nullptr, nullptr);
}

uint32_t ApplySharpnessFused(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache,
                             const uint16_t* pre, int brightness, ToneTables& tables,
                             RowWorkers* workers) {
  return Sharpen(img, sharpness, copy, cache, pre, brightness, &tables, workers);
}

}  // namespace vexcam
