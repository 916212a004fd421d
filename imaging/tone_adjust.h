#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/row_workers.h"

namespace vexcam {

// Look-up tables of the value-only adjustments (gamma, contrast, brightness)
// for 8- and 16-bit samples. Each table is rebuilt only when its setting
// changes, so a steady stream never rebuilds or allocates. One cache per
// pipeline; not shared between threads.
class ToneTables {
 public:
  // Tables for sample maximum 255 or 65535; each returns max + 1 entries.
  const uint16_t* Gamma(bool wide, int gamma);
  const uint16_t* Contrast(bool wide, int contrast);
  const uint16_t* Brightness(bool wide, int brightness);
  // Gamma, contrast and brightness in that order, each only when not
  // neutral (gamma 100, contrast 0, brightness 0), as one table. All three
  // neutral gives the identity.
  const uint16_t* Chain(bool wide, int gamma, int contrast, int brightness);

 private:
  struct Table {
    std::vector<uint16_t> values;
    int setting = 0;
    int setting2 = 0;
    bool valid = false;
  };
  // [0] 8-bit, [1] 16-bit.
  Table gamma_[2];
  Table contrast_[2];
  Table brightness_[2];
  Table chain_[2];
  int chainBrightness_[2] = {0, 0};
};

// Gamma: sample i becomes trunc(max * (i / max) ^ (100 / gamma)), gamma
// 0..200 percent (clamped). At gamma 0 every value but max becomes 0.
void ApplyGamma(DibImage& img, int gamma, ToneTables& cache);

// Contrast -127..127 (clamped; scaled by 256 for 16-bit samples): values below
// c become 0, above max - c become max, the rest are stretched about the
// middle. Negative values flatten the curve.
void ApplyContrast(DibImage& img, int contrast, ToneTables& cache);

// Brightness -255..255 (clamped): each sample becomes trunc(sample * f) in
// single precision, clamped to max, with f = 1 + b * 10/255 for b > 0 and
// 1 - |b| / 255 for b < 0 (255 multiplies by 11, -255 gives black).
void ApplyBrightness(DibImage& img, int brightness, ToneTables& cache);

// The same result without a table: one single-precision multiply per sample.
// ApplyBrightness uses it when no byte look-up is available.
void ApplyBrightnessDirect(DibImage& img, int brightness);

// Applies a table of max + 1 entries to the first three samples of every
// pixel (every sample of a gray image); the fourth sample is left alone.
// With workers the rows are split into bands.
void ApplySampleTable(DibImage& img, const uint16_t* table, RowWorkers* workers = nullptr);

// Single-precision brightness factor: 1 + b * 10/255 for b > 0, 1 - |b| / 255
// otherwise (b clamped to -255..255).
float BrightnessFactor(int brightness);

// Row kernels shared by the fused passes. Map `pixels` pixels of spp (1, 3 or
// 4) samples from src to dst through a table of max + 1 entries: the first
// three samples of each pixel are mapped, the fourth is copied. src and dst
// may be the same row; otherwise they must not overlap.
void MapSampleRow8(uint8_t* dst, const uint8_t* src, int pixels, int spp, const uint16_t* table);
void MapSampleRow16(uint16_t* dst, const uint16_t* src, int pixels, int spp, const uint16_t* table);

}  // namespace vexcam
