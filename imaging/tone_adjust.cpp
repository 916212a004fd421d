#include "imaging/tone_adjust.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/cpu_dispatch.h"
#include "imaging/sample_layout.h"

namespace vexcam {

namespace {

int MaxOf(bool wide) { return wide ? 65535 : 255; }

void BuildGamma(std::vector<uint16_t>& t, int max, int gamma) {
  t.assign(static_cast<size_t>(max) + 1, 0);
  if (gamma <= 0) {
    // Infinite exponent: only full scale survives.
    t[static_cast<size_t>(max)] = static_cast<uint16_t>(max);
    return;
  }
  const double exponent = 100.0 / gamma;
  for (int i = 1; i <= max; ++i) {
    const double v = std::trunc(max * std::pow(static_cast<double>(i) / max, exponent));
    t[static_cast<size_t>(i)] = static_cast<uint16_t>(std::clamp(v, 0.0, static_cast<double>(max)));
  }
}

void BuildContrast(std::vector<uint16_t>& t, int max, int contrast, bool wide) {
  t.assign(static_cast<size_t>(max) + 1, 0);
  const int c = wide ? contrast * 256 : contrast;
  const int half = wide ? 32768 : 128;
  const double slope = (max + 1.0) / ((half - c) * 2.0);  // half - c >= 1 for |contrast| <= 127
  for (int i = 0; i <= max; ++i) {
    int v;
    if (i < c) {
      v = 0;
    } else if (i > max - c) {
      v = max;
    } else {
      v = static_cast<int>(std::clamp(std::trunc(slope * (i - c)), 0.0, static_cast<double>(max)));
    }
    t[static_cast<size_t>(i)] = static_cast<uint16_t>(v);
  }
}

void BuildBrightness(std::vector<uint16_t>& t, int max, int brightness) {
  t.assign(static_cast<size_t>(max) + 1, 0);
  const float f = BrightnessFactor(brightness);
  for (int i = 0; i <= max; ++i) {
    const float v = static_cast<float>(i) * f;
    // v >= 0 always (f >= 0); the largest product, 65535 * 11, fits an int.
    const int iv = static_cast<int>(v);
    t[static_cast<size_t>(i)] = static_cast<uint16_t>(std::min(iv, max));
  }
}

// Byte look-up of 64 samples at a time: the 256-entry table sits in four
// registers and two two-register permutes plus a blend on the index's top bit
// replace 64 scalar loads. `keep` marks bytes copied from src unmapped (the
// fourth sample of 4-sample pixels; the pattern repeats every 4 bytes, so it
// is the same for every 64-byte step).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void MapBytesVbmi(
    uint8_t* dst, const uint8_t* src, size_t n, const uint16_t* table, uint64_t keep) {
  // Entries are at most 255, so the saturating pack is exact; it interleaves
  // 8-byte groups of the two halves, which the permute puts back in order.
  const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
  __m512i t[4];
  for (int j = 0; j < 4; ++j) {
    const __m512i packed = _mm512_packus_epi16(_mm512_loadu_si512(table + 64 * j),
                                               _mm512_loadu_si512(table + 64 * j + 32));
    t[j] = _mm512_mask_permutexvar_epi64(packed, 0xFF, order, packed);
  }
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i idx = _mm512_loadu_si512(src + i);
    const __m512i a = _mm512_permutex2var_epi8(t[0], idx, t[1]);
    const __m512i b = _mm512_permutex2var_epi8(t[2], idx, t[3]);
    __m512i r = _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), a, b);
    r = _mm512_mask_blend_epi8(keep, r, idx);
    _mm512_storeu_si512(dst + i, r);
  }
  if (i < n) {
    const __mmask64 tail = ~uint64_t{0} >> (64 - (n - i));  // 0 < n - i < 64
    const __m512i idx = _mm512_maskz_loadu_epi8(tail, src + i);
    const __m512i a = _mm512_permutex2var_epi8(t[0], idx, t[1]);
    const __m512i b = _mm512_permutex2var_epi8(t[2], idx, t[3]);
    __m512i r = _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), a, b);
    r = _mm512_mask_blend_epi8(keep, r, idx);
    _mm512_mask_storeu_epi8(dst + i, tail, r);
  }
}

// The table's 256 entries as bytes, for 8-bit samples (entries are <= 255).
[[gnu::always_inline]] inline void NarrowTable(uint8_t* bytes, const uint16_t* table) {
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(table[i]);
}

// 32 bytes looked up in the sixteen slices (see MapBytesAvx2).
__attribute__((target("avx2"))) inline __m256i Map32Avx2(__m256i idx, const __m256i* slice,
                                                         __m256i nibble, __m256i keep) {
  const __m256i lo = _mm256_and_si256(idx, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(idx, 4), nibble);
  __m256i r = _mm256_shuffle_epi8(slice[0], lo);
  for (int k = 1; k < 16; ++k) {
    const __m256i sel = _mm256_cmpeq_epi8(hi, _mm256_set1_epi8(static_cast<char>(k)));
    r = _mm256_blendv_epi8(r, _mm256_shuffle_epi8(slice[k], lo), sel);
  }
  return _mm256_blendv_epi8(r, idx, keep);
}

// Byte look-up of 32 samples at a time: the table as sixteen 16-entry slices,
// each looked up by the low nibble and kept where the high nibble selects it.
// `keep` has 0xFF on the bytes copied from src unmapped (the pattern repeats
// every 4 bytes).
__attribute__((target("avx2"))) void MapBytesAvx2(uint8_t* dst, const uint8_t* src, size_t n,
                                                  const uint16_t* table, bool keepFourth) {
  alignas(32) uint8_t bytes[256];
  NarrowTable(bytes, table);
  __m256i slice[16];
  for (int k = 0; k < 16; ++k)
    slice[k] = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k)));
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i keep =
      keepFourth ? _mm256_set1_epi32(static_cast<int>(0xFF000000u)) : _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i idx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), Map32Avx2(idx, slice, nibble, keep));
  }
  if (i < n) {
    // The tail through a buffer; i is a multiple of 4, so the pattern of
    // kept bytes still lines up.
    alignas(32) uint8_t tail[32] = {};
    const size_t left = n - i;
    std::memcpy(tail, src + i, left);
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(tail),
        Map32Avx2(_mm256_load_si256(reinterpret_cast<const __m256i*>(tail)), slice, nibble, keep));
    std::memcpy(dst + i, tail, left);
  }
}

// Baseline byte look-up through the table narrowed to bytes (a quarter of
// the cache lines of the 16-bit table); n is a multiple of 4 for 4-sample
// pixels.
void MapBytesBaseline(uint8_t* dst, const uint8_t* src, size_t n, const uint16_t* table,
                      bool keepFourth) {
  uint8_t bytes[256];
  NarrowTable(bytes, table);
  if (keepFourth) {
    for (size_t i = 0; i + 4 <= n; i += 4) {
      const uint8_t a = src[i], b = src[i + 1], c = src[i + 2];
      dst[i] = bytes[a];
      dst[i + 1] = bytes[b];
      dst[i + 2] = bytes[c];
      dst[i + 3] = src[i + 3];
    }
    return;
  }
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const uint8_t a = src[i], b = src[i + 1], c = src[i + 2], d = src[i + 3];
    dst[i] = bytes[a];
    dst[i + 1] = bytes[b];
    dst[i + 2] = bytes[c];
    dst[i + 3] = bytes[d];
  }
  for (; i < n; ++i) dst[i] = bytes[src[i]];
}

template <typename T>
[[gnu::always_inline]] inline void MapScalar(T* dst, const T* src, int pixels, int spp,
                                             const uint16_t* table) {
  if (spp != 4) {
    const size_t n = static_cast<size_t>(pixels) * static_cast<size_t>(spp);
    for (size_t i = 0; i < n; ++i) dst[i] = static_cast<T>(table[src[i]]);
    return;
  }
  for (int x = 0; x < pixels; ++x) {
    const T* s = src + 4 * x;
    T* d = dst + 4 * x;
    const T a = s[0], b = s[1], c = s[2], k = s[3];
    d[0] = static_cast<T>(table[a]);
    d[1] = static_cast<T>(table[b]);
    d[2] = static_cast<T>(table[c]);
    d[3] = k;
  }
}

VEXCAM_CPU_VARIANTS(void, MapWords,
                    (uint16_t * dst, const uint16_t* src, int pixels, int spp,
                     const uint16_t* table),
                    { MapScalar<uint16_t>(dst, src, pixels, spp, table); })

// trunc(sample * f) in single precision, capped at max; f >= 0, and the
// largest product (65535 * 11) fits an int. The fourth sample of 4-sample
// pixels is skipped.
template <typename T, int Spp>
[[gnu::always_inline]] inline void BrightnessRow(T* __restrict row, int pixels, float f) {
  constexpr int32_t kMax = sizeof(T) == 1 ? 255 : 65535;
  const int n = pixels * Spp;
  for (int i = 0; i < n; ++i) {
    const int32_t v = static_cast<int32_t>(static_cast<float>(row[i]) * f);
    const T out = static_cast<T>(v < kMax ? v : kMax);
    row[i] = (Spp == 4 && (i & 3) == 3) ? row[i] : out;
  }
}

template <typename T, int Spp>
[[gnu::always_inline]] inline void BrightnessImage(uint8_t* base, uint32_t stride, int w, int h,
                                                   float f) {
  for (int y = 0; y < h; ++y)
    BrightnessRow<T, Spp>(reinterpret_cast<T*>(base + static_cast<size_t>(y) * stride), w, f);
}

#define VEXCAM_BRIGHTNESS_VARIANT(name, T, Spp)                                             \
  VEXCAM_CPU_VARIANTS(void, name, (uint8_t * base, uint32_t stride, int w, int h, float f), \
                      { BrightnessImage<T, Spp>(base, stride, w, h, f); })

VEXCAM_BRIGHTNESS_VARIANT(Brightness8x1, uint8_t, 1)
VEXCAM_BRIGHTNESS_VARIANT(Brightness8x3, uint8_t, 3)
VEXCAM_BRIGHTNESS_VARIANT(Brightness8x4, uint8_t, 4)
VEXCAM_BRIGHTNESS_VARIANT(Brightness16x1, uint16_t, 1)
VEXCAM_BRIGHTNESS_VARIANT(Brightness16x3, uint16_t, 3)
VEXCAM_BRIGHTNESS_VARIANT(Brightness16x4, uint16_t, 4)
#undef VEXCAM_BRIGHTNESS_VARIANT

}  // namespace

const uint16_t* ToneTables::Gamma(bool wide, int gamma) {
  gamma = std::clamp(gamma, 0, 200);
  Table& t = gamma_[wide];
  if (!t.valid || t.setting != gamma) {
    BuildGamma(t.values, MaxOf(wide), gamma);
    t.setting = gamma;
    t.valid = true;
  }
  return t.values.data();
}

const uint16_t* ToneTables::Contrast(bool wide, int contrast) {
  contrast = std::clamp(contrast, -127, 127);
  Table& t = contrast_[wide];
  if (!t.valid || t.setting != contrast) {
    BuildContrast(t.values, MaxOf(wide), contrast, wide);
    t.setting = contrast;
    t.valid = true;
  }
  return t.values.data();
}

const uint16_t* ToneTables::Brightness(bool wide, int brightness) {
  brightness = std::clamp(brightness, -255, 255);
  Table& t = brightness_[wide];
  if (!t.valid || t.setting != brightness) {
    BuildBrightness(t.values, MaxOf(wide), brightness);
    t.setting = brightness;
    t.valid = true;
  }
  return t.values.data();
}

const uint16_t* ToneTables::Chain(bool wide, int gamma, int contrast, int brightness) {
  gamma = std::clamp(gamma, 0, 200);
  contrast = std::clamp(contrast, -127, 127);
  brightness = std::clamp(brightness, -255, 255);
  Table& t = chain_[wide];
  if (!t.valid || t.setting != gamma || t.setting2 != contrast ||
      chainBrightness_[wide] != brightness) {
    const size_t n = static_cast<size_t>(MaxOf(wide)) + 1;
    t.values.resize(n);
    for (size_t i = 0; i < n; ++i) t.values[i] = static_cast<uint16_t>(i);
    // Gamma 100 is not an exact identity in floating point, so neutral
    // stages are left out rather than composed.
    const uint16_t* stages[3] = {gamma != 100 ? Gamma(wide, gamma) : nullptr,
                                 contrast != 0 ? Contrast(wide, contrast) : nullptr,
                                 brightness != 0 ? Brightness(wide, brightness) : nullptr};
    for (const uint16_t* s : stages)
      if (s)
        for (size_t i = 0; i < n; ++i) t.values[i] = s[t.values[i]];
    t.setting = gamma;
    t.setting2 = contrast;
    chainBrightness_[wide] = brightness;
    t.valid = true;
  }
  return t.values.data();
}

float BrightnessFactor(int brightness) {
  brightness = std::clamp(brightness, -255, 255);
  const double f = brightness > 0 ? 1.0 + brightness * 0.0392156862745098
                                  : 1.0 - (-brightness) * 0.00392156862745098;
  return static_cast<float>(f);
}

void MapSampleRow8(uint8_t* dst, const uint8_t* src, int pixels, int spp, const uint16_t* table) {
  if (pixels <= 0) return;
  const size_t n = static_cast<size_t>(pixels) * static_cast<size_t>(spp);
  switch (ActiveCpuPath()) {
    case CpuPath::kAvx512:
      if (HasAvx512Vbmi()) {
        MapBytesVbmi(dst, src, n, table, spp == 4 ? 0x8888888888888888ull : 0);
        return;
      }
      [[fallthrough]];
    case CpuPath::kAvx2:
      MapBytesAvx2(dst, src, n, table, spp == 4);
      return;
    default:
      MapBytesBaseline(dst, src, n, table, spp == 4);
      return;
  }
}

void MapSampleRow16(uint16_t* dst, const uint16_t* src, int pixels, int spp,
                    const uint16_t* table) {
  if (pixels > 0) VEXCAM_PICK(MapWords)(dst, src, pixels, spp, table);
}

namespace {

void MapRows(DibImage& img, const SampleLayout& l, const uint16_t* table, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    uint8_t* row = img.Row(y);
    if (l.wide)
      MapSampleRow16(reinterpret_cast<uint16_t*>(row), reinterpret_cast<uint16_t*>(row),
                     img.Width(), l.samplesPerPixel, table);
    else
      MapSampleRow8(row, row, img.Width(), l.samplesPerPixel, table);
  }
}

}  // namespace

void ApplySampleTable(DibImage& img, const uint16_t* table, RowWorkers* workers) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0 || !table) return;
  if (workers) {
    workers->ForEachBand(img.Height(),
                         [&](int, int y0, int y1) { MapRows(img, l, table, y0, y1); });
    return;
  }
  MapRows(img, l, table, 0, img.Height());
}

void ApplyGamma(DibImage& img, int gamma, ToneTables& cache) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0) return;
  ApplySampleTable(img, cache.Gamma(l.wide, gamma));
}

void ApplyContrast(DibImage& img, int contrast, ToneTables& cache) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0) return;
  ApplySampleTable(img, cache.Contrast(l.wide, contrast));
}

void ApplyBrightness(DibImage& img, int brightness, ToneTables& cache) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0) return;
  // 8-bit samples go through the table where a vector byte look-up exists;
  // on the baseline one vector multiply per sample beats a scalar look-up.
  if (!l.wide && ActiveCpuPath() != CpuPath::kBaseline)
    ApplySampleTable(img, cache.Brightness(false, brightness));
  else
    ApplyBrightnessDirect(img, brightness);
}

void ApplyBrightnessDirect(DibImage& img, int brightness) {
  const SampleLayout l = LayoutOf(img);
  if (l.samplesPerPixel == 0) return;
  const float f = BrightnessFactor(brightness);
  const int key = l.samplesPerPixel + (l.wide ? 8 : 0);
  auto fn = key == 1    ? VEXCAM_PICK(Brightness8x1)
            : key == 3  ? VEXCAM_PICK(Brightness8x3)
            : key == 4  ? VEXCAM_PICK(Brightness8x4)
            : key == 9  ? VEXCAM_PICK(Brightness16x1)
            : key == 11 ? VEXCAM_PICK(Brightness16x3)
                        : VEXCAM_PICK(Brightness16x4);
  fn(img.Pixels(), img.Stride(), img.Width(), img.Height(), f);
}

}  // namespace vexcam
