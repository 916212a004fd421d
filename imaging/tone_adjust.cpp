#include "imaging/tone_adjust.h"

#include <algorithm>
#include <cmath>

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
    const double fd = brightness > 0 ? 1.0 + brightness * 0.0392156862745098
                                     : 1.0 - (-brightness) * 0.00392156862745098;
    const float f = static_cast<float>(fd);
    for (int i = 0; i <= max; ++i) {
        const float v = static_cast<float>(i) * f;
        // v >= 0 always (f >= 0); the largest product, 65535 * 11, fits an int.
        const int iv = static_cast<int>(v);
        t[static_cast<size_t>(i)] = static_cast<uint16_t>(std::min(iv, max));
    }
}

template <typename T>
void ApplyTableRows(DibImage& img, const uint16_t* __restrict table, int spp) {
    const int w = img.Width();
    for (int y = 0; y < img.Height(); ++y) {
        T* __restrict row = reinterpret_cast<T*>(img.Row(y));
        if (spp != 4) {
            const int n = w * spp;
            for (int i = 0; i < n; ++i) row[i] = static_cast<T>(table[row[i]]);
        } else {
            for (int x = 0; x < w; ++x) {
                T* p = row + 4 * x;
                p[0] = static_cast<T>(table[p[0]]);
                p[1] = static_cast<T>(table[p[1]]);
                p[2] = static_cast<T>(table[p[2]]);
            }
        }
    }
}

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

const uint16_t* ToneTables::GammaContrast(bool wide, int gamma, int contrast) {
    gamma = std::clamp(gamma, 0, 200);
    contrast = std::clamp(contrast, -127, 127);
    Table& t = fused_[wide];
    if (!t.valid || t.setting != gamma || t.setting2 != contrast) {
        const uint16_t* g = Gamma(wide, gamma);
        const uint16_t* c = Contrast(wide, contrast);
        const size_t n = static_cast<size_t>(MaxOf(wide)) + 1;
        t.values.resize(n);
        for (size_t i = 0; i < n; ++i) t.values[i] = c[g[i]];
        t.setting = gamma;
        t.setting2 = contrast;
        t.valid = true;
    }
    return t.values.data();
}

void ApplySampleTable(DibImage& img, const uint16_t* table) {
    const SampleLayout l = LayoutOf(img);
    if (l.samplesPerPixel == 0 || !table) return;
    if (l.wide)
        ApplyTableRows<uint16_t>(img, table, l.samplesPerPixel);
    else
        ApplyTableRows<uint8_t>(img, table, l.samplesPerPixel);
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

void ApplyGammaContrast(DibImage& img, int gamma, int contrast, ToneTables& cache) {
    const SampleLayout l = LayoutOf(img);
    if (l.samplesPerPixel == 0) return;
    ApplySampleTable(img, cache.GammaContrast(l.wide, gamma, contrast));
}

void ApplyBrightness(DibImage& img, int brightness, ToneTables& cache) {
    const SampleLayout l = LayoutOf(img);
    if (l.samplesPerPixel == 0) return;
    ApplySampleTable(img, cache.Brightness(l.wide, brightness));
}

}  // namespace vexcam
