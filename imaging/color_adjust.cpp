#include "imaging/color_adjust.h"

#include <algorithm>

#include "imaging/sample_layout.h"

namespace vexcam {

namespace {

// Pixels per kernel call: a fixed trip count lets the compiler vectorise the
// whole block without a scalar tail. Row scratch is padded to whole blocks.
constexpr int kBlock = 64;
constexpr int32_t kStepsPerSector = 255;
constexpr int32_t kStepsPerTurn = 6 * kStepsPerSector;

// Offset of a channel within its sector pattern. Along the circle a channel
// is full for two sectors, falls for one, is empty for two and rises for one;
// red starts full at sector 0, green two sectors later, blue four.
//   sector: 0     1     2        3   4        5
//   red:    full  full  falling  0   0        rising
//   green:  0     rising full    full falling 0
//   blue:   fall  0     0        rise full    full
// Branch-free select (c ? a : b), so the block loop has no control flow.
inline int32_t Sel(bool c, int32_t a, int32_t b) { return b ^ ((a ^ b) & -static_cast<int32_t>(c)); }

inline int32_t ChannelRise(int32_t j, int32_t nd, int32_t step) {
    int32_t v = Sel(j < 2, nd, 0);
    v = Sel(j == 2, nd - step, v);
    v = Sel(j == 5, step, v);
    return v;
}

// One block of pixels, in place on planar 8-bit values.
void HueSatBlock(int32_t* __restrict b, int32_t* __restrict g, int32_t* __restrict r, int32_t satScale,
                 int32_t hueK, int32_t hueR) {
    for (int i = 0; i < kBlock; ++i) {
        const int32_t B = b[i], G = g[i], R = r[i];
        // Largest channel and the position of the hue within its sector;
        // ties go to red, then green.
        const bool greenOverRed = R < G;
        int32_t mx = Sel(greenOverRed, G, R);
        const int32_t mid = Sel(greenOverRed, R, G);
        int32_t base = Sel(greenOverRed, 3, 1);
        int32_t t = Sel(greenOverRed, B - R, G - B);
        const bool blueTop = B > mx;
        mx = Sel(blueTop, B, mx);
        base = Sel(blueTop, 5, base);
        t = Sel(blueTop, R - G, t);
        const int32_t mn = Sel(B < mid, B, mid);
        const int32_t delta = mx - mn;
        const bool negative = t < 0;
        base -= negative;
        t += Sel(negative, delta, 0);

        const int32_t l2 = mx + mn;
        const int32_t chroma = (delta * satScale + 32768) >> 16;
        const int32_t cap = Sel(l2 < 256, l2, 511 - l2);
        const int32_t c = Sel(chroma < cap, chroma, cap);
        const int32_t newMin = (l2 - c) >> 1;
        const int32_t newDelta = ((c + l2) >> 1) - newMin;

        // With delta 0 the product below is 0 whatever the reciprocal.
        const int32_t recip = static_cast<int32_t>(16711680.0f / static_cast<float>(delta + (delta == 0)));
        int32_t pos = ((recip * t + 32768) >> 16) + hueR;
        int32_t sector = base + hueK;
        const bool wrap = pos >= kStepsPerSector;
        pos -= Sel(wrap, kStepsPerSector, 0);
        sector += wrap;
        sector -= Sel(sector >= 6, 6, 0);
        const int32_t step = (newDelta * pos + 128) >> 8;

        const int32_t jg = Sel(sector >= 2, sector - 2, sector + 4);
        const int32_t jb = Sel(sector >= 4, sector - 4, sector + 2);
        r[i] = newMin + ChannelRise(sector, newDelta, step);
        g[i] = newMin + ChannelRise(jg, newDelta, step);
        b[i] = newMin + ChannelRise(jb, newDelta, step);
    }
}

template <typename T, int Spp>
void HueSatRows(DibImage& img, HueSatCache& cache, int32_t satScale, HueRotation rot) {
    constexpr int kShift = sizeof(T) == 2 ? 8 : 0;
    const int w = img.Width();
    int32_t* __restrict pb = cache.Blue();
    int32_t* __restrict pg = cache.Green();
    int32_t* __restrict pr = cache.Red();
    for (int y = 0; y < img.Height(); ++y) {
        T* __restrict row = reinterpret_cast<T*>(img.Row(y));
        for (int x = 0; x < w; ++x) {
            pb[x] = row[Spp * x] >> kShift;
            pg[x] = row[Spp * x + 1] >> kShift;
            pr[x] = row[Spp * x + 2] >> kShift;
        }
        for (int x = 0; x < w; x += kBlock) HueSatBlock(pb + x, pg + x, pr + x, satScale, rot.k, rot.r);
        for (int x = 0; x < w; ++x) {
            row[Spp * x] = static_cast<T>(pb[x] << kShift);
            row[Spp * x + 1] = static_cast<T>(pg[x] << kShift);
            row[Spp * x + 2] = static_cast<T>(pr[x] << kShift);
            if constexpr (Spp == 4) row[Spp * x + 3] = 0;
        }
    }
}

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

void ApplyHueSaturation(DibImage& img, int hue, int saturation, HueSatCache& cache) {
    const SampleLayout l = LayoutOf(img);
    if (l.samplesPerPixel < 3 || !cache.Reserve(img.Width())) return;
    const int32_t satScale = (std::clamp(saturation, -255, 255) + 256) * 256;
    const HueRotation rot = HueRotationFor(hue);
    if (!l.wide)
        l.samplesPerPixel == 3 ? HueSatRows<uint8_t, 3>(img, cache, satScale, rot)
                               : HueSatRows<uint8_t, 4>(img, cache, satScale, rot);
    else
        l.samplesPerPixel == 3 ? HueSatRows<uint16_t, 3>(img, cache, satScale, rot)
                               : HueSatRows<uint16_t, 4>(img, cache, satScale, rot);
}

}  // namespace vexcam
