#pragma once

// Helpers shared by the adjustment tests: random images and plain sample
// access that the reference implementations use.
#include <random>

#include "imaging_convert/convert_reference.h"

namespace vexcam::test {

using testref::Copy;
using testref::RandomImage;
using testref::SameBytes;
using testref::Size;

inline constexpr int kAllBits[] = {8, 16, 24, 32, 48, 64};

// Sizes that cover odd and even widths, padded strides and degenerate frames.
inline constexpr Size kTestSizes[] = {{1, 1}, {2, 2},  {3, 5},  {4, 4},  {5, 5},
                                      {7, 3}, {13, 9}, {66, 7}, {70, 11}};

// Random image whose samples are drawn from a few extreme values, so clamps
// and ties are hit often.
inline DibImage ExtremeImage(int w, int h, int bits, std::mt19937& rng) {
  DibImage img = RandomImage(w, h, bits, rng);
  static const uint8_t kBytes[] = {0, 0, 1, 127, 128, 254, 255, 255};
  for (size_t i = 0; i < img.SizeBytes(); ++i) img.Pixels()[i] = kBytes[rng() % 8];
  return img;
}

inline int Spp(const DibImage& img) { return img.BytesPerPixel() / testref::SampleBytes(img); }
inline bool Wide(const DibImage& img) { return testref::SampleBytes(img) == 2; }

// Sample k of pixel (x, y).
inline int32_t Get(const DibImage& img, int x, int y, int k = 0) {
  return static_cast<int32_t>(testref::Sample(img, x, y, k));
}
inline void Set(DibImage& img, int x, int y, int k, int32_t v) {
  testref::SetSample(img, x, y, k, static_cast<uint32_t>(v));
}
// Single-sample image with every pixel at `value`.
inline DibImage Flat(int bits, int value, int w = 100, int h = 80) {
  DibImage img = testref::Make(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set(img, x, y, 0, value);
  return img;
}

inline int32_t MaxOf(const DibImage& img) { return Wide(img) ? 65535 : 255; }

}  // namespace vexcam::test
