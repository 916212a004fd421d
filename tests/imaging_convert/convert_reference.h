#pragma once

// Plain per-pixel references written straight from the formulas, and helpers
// to make random images, for the imaging and file tests.

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/dib_image.h"

namespace vexcam::testref {

inline int SampleBytes(const DibImage& img) {
  return img.BitCount() >= 48 || img.BitCount() == 16 ? 2 : 1;
}

// Little-endian sample `index` of pixel (x, y).
inline uint8_t* SampleAt(const DibImage& img, int x, int y, int index) {
  const int bytes = SampleBytes(img);
  const size_t spp = static_cast<size_t>(img.BytesPerPixel() / bytes);
  return const_cast<uint8_t*>(img.Row(y)) + (static_cast<size_t>(x) * spp + index) * bytes;
}

inline uint32_t Sample(const DibImage& img, int x, int y, int index = 0) {
  const uint8_t* p = SampleAt(img, x, y, index);
  return SampleBytes(img) == 1 ? p[0] : static_cast<uint32_t>(p[0] | (p[1] << 8));
}

inline void SetSample(DibImage& img, int x, int y, int index, uint32_t v) {
  uint8_t* p = SampleAt(img, x, y, index);
  p[0] = static_cast<uint8_t>(v);
  if (SampleBytes(img) == 2) p[1] = static_cast<uint8_t>(v >> 8);
}

// Fills every byte (padding too) with random data.
inline void FillRandom(DibImage& img, std::mt19937& rng) {
  for (size_t i = 0; i < img.SizeBytes(); ++i) img.Pixels()[i] = static_cast<uint8_t>(rng());
}

inline DibImage Make(int w, int h, int bits) {
  DibImage img;
  img.Create(w, h, bits);
  return img;
}

inline DibImage RandomImage(int w, int h, int bits, std::mt19937& rng) {
  DibImage img = Make(w, h, bits);
  FillRandom(img, rng);
  return img;
}
inline DibImage RandomImage(int w, int h, int bits, uint32_t seed = 1) {
  std::mt19937 rng(seed);
  return RandomImage(w, h, bits, rng);
}

inline DibImage Copy(const DibImage& src) {
  DibImage img;
  img.CopyFrom(src);
  return img;
}

struct Size {
  int w, h;
};

// Luma of blue, green and red, in percent.
inline uint32_t Luma(uint32_t b, uint32_t g, uint32_t r) {
  return (59 * g + 30 * r + 11 * b) / 100;
}

inline bool SameBytes(const DibImage& a, const DibImage& b) {
  return a.SizeBytes() == b.SizeBytes() && std::memcmp(a.Pixels(), b.Pixels(), a.SizeBytes()) == 0;
}

// Bayer colour of raw sample (x, y): 0 green, 1 blue, 2 red.
inline int BayerColor(int x, int y, int mode) {
  static const int c0[4] = {0, 0, 1, 1};
  static const int r0[4] = {0, 1, 0, 1};
  const int cx = ((x + c0[mode]) % 2 + 2) % 2;
  const int ry = ((y + r0[mode]) % 2 + 2) % 2;
  if (cx == ry) return 0;
  return cx == 1 ? 1 : 2;
}

inline int Reflect(int c, int n) { return c < 0 ? c + 4 : (c >= n ? c - 4 : c); }

// Demosaic of raw into dst (3 or 4 samples per pixel), straight from the
// definition; images smaller than 4 x 4 are left alone.
inline void ReferenceDemosaic(DibImage& dst, const DibImage& raw, int mode, int gainRed,
                              int gainBlue) {
  const int w = raw.Width(), h = raw.Height();
  if (w < 4 || h < 4) return;
  const int64_t maxv = raw.BitCount() == 8 ? 255 : 65535;
  auto clampGain = [](int g) { return g < 0 ? 0 : (g > 400 ? 400 : g); };
  const int64_t kR = static_cast<int64_t>(clampGain(gainRed) * 1.28);
  const int64_t kB = static_cast<int64_t>(clampGain(gainBlue) * 1.28);
  auto at = [&](int x, int y) -> int64_t { return Sample(raw, Reflect(x, w), Reflect(y, h)); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int64_t green = 0, red = 0, blue = 0;
      for (int yy = y - 1; yy <= y; ++yy) {
        for (int xx = x - 1; xx <= x; ++xx) {
          const int c = BayerColor(xx, yy, mode);
          if (c == 0) {
            green += at(xx, yy);
            continue;
          }
          const int xf = xx == x ? xx - 2 : xx + 2;
          const int yf = yy == y ? yy - 2 : yy + 2;
          const int64_t sum = 9 * at(xx, yy) + 3 * at(xf, yy) + 3 * at(xx, yf) + at(xf, yf);
          if (c == 1)
            blue = sum;
          else
            red = sum;
        }
      }
      red = (red * kR) >> 11;
      blue = (blue * kB) >> 11;
      SetSample(dst, x, y, 0, static_cast<uint32_t>(blue > maxv ? maxv : blue));
      SetSample(dst, x, y, 1, static_cast<uint32_t>(green >> 1));
      SetSample(dst, x, y, 2, static_cast<uint32_t>(red > maxv ? maxv : red));
    }
  }
}

}  // namespace vexcam::testref
