#include "imaging/sharpen.h"

#include <algorithm>
#include <cstring>

#include "imaging/sample_layout.h"

namespace vexcam {

namespace {

// Blur block: columns x - 2 .. x + 1, rows y - 2 .. y + 1 around pixel (x, y).
//   . . . .
//   . . . .
//   . . X .
//   . . . .
constexpr int kEdge = 2;

constexpr int kBlock = 64;

// Column sums of four rows; fixed-size blocks let the compiler vectorise.
template <typename T>
void SumBlock(const T* __restrict r0, const T* __restrict r1, const T* __restrict r2, const T* __restrict r3,
              int32_t* __restrict v) {
    for (int i = 0; i < kBlock; ++i) v[i] = r0[i] + r1[i] + r2[i] + r3[i];
}

// Output samples from the column sums: the 4 x 4 sum is four column sums,
// one pixel (spp samples) apart.
template <typename T>
inline T SharpenOne(const int32_t* v, int i, int spp, int32_t orig, int32_t sharpness, int32_t max) {
    const int32_t blur = (v[i - 2 * spp] + v[i - spp] + v[i] + v[i + spp]) >> 4;
    int32_t s = orig + (orig - blur) * sharpness / 10;
    s = s < 0 ? 0 : s;
    s = s > max ? max : s;
    return static_cast<T>(s);
}

template <typename T, int Spp>
void SharpenBlock(const int32_t* __restrict v, const T* __restrict orig, T* __restrict out, int32_t sharpness,
                  int32_t max) {
    for (int i = 0; i < kBlock; ++i) out[i] = SharpenOne<T>(v, i, Spp, orig[i], sharpness, max);
}

template <typename T, int Spp>
void SharpenRows(DibImage& img, const DibImage& copy, int32_t sharpness, int32_t max, int32_t* __restrict v) {
    const int w = img.Width();
    const int h = img.Height();
    const int rowSamples = w * Spp;
    // Sample index range of the interior pixels: x = 2 .. w - 3.
    const int first = kEdge * Spp;
    const int last = (w - kEdge) * Spp;  // exclusive
    for (int y = kEdge; y < h - kEdge; ++y) {
        const T* r0 = reinterpret_cast<const T*>(copy.Row(y - 2));
        const T* r1 = reinterpret_cast<const T*>(copy.Row(y - 1));
        const T* r2 = reinterpret_cast<const T*>(copy.Row(y));
        const T* r3 = reinterpret_cast<const T*>(copy.Row(y + 1));
        int i = 0;
        for (; i + kBlock <= rowSamples; i += kBlock) SumBlock<T>(r0 + i, r1 + i, r2 + i, r3 + i, v + i);
        for (; i < rowSamples; ++i) v[i] = r0[i] + r1[i] + r2[i] + r3[i];
        T* out = reinterpret_cast<T*>(img.Row(y));
        i = first;
        for (; i + kBlock <= last; i += kBlock) SharpenBlock<T, Spp>(v + i, r2 + i, out + i, sharpness, max);
        for (; i < last; ++i) out[i] = SharpenOne<T>(v, i, Spp, r2[i], sharpness, max);
        if constexpr (Spp == 4)
            for (int x = kEdge; x < w - kEdge; ++x) out[4 * x + 3] = r2[4 * x + 3];
    }
}

template <typename T>
void SharpenImage(DibImage& img, const DibImage& copy, int32_t sharpness, int spp, int32_t max, int32_t* v) {
    switch (spp) {
        case 1: SharpenRows<T, 1>(img, copy, sharpness, max, v); break;
        case 3: SharpenRows<T, 3>(img, copy, sharpness, max, v); break;
        default: SharpenRows<T, 4>(img, copy, sharpness, max, v); break;
    }
}

}  // namespace

bool SharpenCache::Reserve(size_t samples) {
    if (sums_.size() < samples) sums_.assign(samples, 0);
    return true;
}

uint32_t ApplySharpness(DibImage& img, int sharpness, DibImage& copy, SharpenCache& cache) {
    const SampleLayout l = LayoutOf(img);
    sharpness = std::clamp(sharpness, 0, 30);
    if (l.samplesPerPixel == 0 || sharpness == 0) return 1;
    // No interior: nothing changes, and no copy is needed.
    if (img.Width() < 2 * kEdge + 1 || img.Height() < 2 * kEdge + 1) return 1;
    if (copy.Width() != img.Width() || copy.Height() != img.Height() || copy.BitCount() != img.BitCount()) {
        if (!copy.CloneFrom(img)) return 0;
    }
    std::memcpy(copy.Pixels(), img.Pixels(), img.SizeBytes());
    const size_t rowSamples = static_cast<size_t>(img.Width()) * static_cast<size_t>(l.samplesPerPixel);
    if (!cache.Reserve(rowSamples)) return 0;
    if (l.wide)
        SharpenImage<uint16_t>(img, copy, sharpness, l.samplesPerPixel, l.maxValue, cache.Sums());
    else
        SharpenImage<uint8_t>(img, copy, sharpness, l.samplesPerPixel, l.maxValue, cache.Sums());
    return 1;
}

}  // namespace vexcam
