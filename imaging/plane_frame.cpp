#include "imaging/plane_frame.h"

namespace vexcam {

namespace {

template <typename S>
[[gnu::always_inline]] inline uint32_t Sample(const uint8_t* p) {
  if constexpr (sizeof(S) == 1)
    return p[0];
  else
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

bool Fits(const DibImage& img, const PlaneFrameView& f, int step) {
  if (img.IsEmpty() || f.pixels == nullptr || step < 1) return false;
  if (f.sampleBytes != 1 && f.sampleBytes != 2) return false;
  return static_cast<int64_t>(img.Width()) * step <= f.width &&
         static_cast<int64_t>(img.Height()) * step <= f.height;
}

// Output rows y0..y1-1; Channels 1 writes luma, 3 or 4 the B, G, R samples.
template <typename S, int Channels>
void ConvertRows(DibImage& img, const PlaneFrameView& f, int step, bool mirrorH, bool mirrorV,
                 int y0, int y1) {
  const int w = img.Width();
  const int h = img.Height();
  const size_t rowBytes = static_cast<size_t>(f.width) * 3 * sizeof(S);
  const size_t pixelStep = static_cast<size_t>(step) * 3 * sizeof(S);
  for (int y = y0; y < y1; ++y) {
    const int sy = (mirrorV ? h - 1 - y : y) * step;
    const uint8_t* src = f.pixels + static_cast<size_t>(sy) * rowBytes;
    // Reversed columns read from the last used pixel backwards.
    const uint8_t* first = mirrorH ? src + static_cast<size_t>(w - 1) * pixelStep : src;
    const ptrdiff_t advance =
        mirrorH ? -static_cast<ptrdiff_t>(pixelStep) : static_cast<ptrdiff_t>(pixelStep);
    S* __restrict out = reinterpret_cast<S*>(img.Pixels() + static_cast<size_t>(y) * img.Stride());
    const uint8_t* p = first;
    for (int x = 0; x < w; ++x, p += advance) {
      const uint32_t r = Sample<S>(p);
      const uint32_t g = Sample<S>(p + sizeof(S));
      const uint32_t b = Sample<S>(p + 2 * sizeof(S));
      if constexpr (Channels == 1) {
        out[x] = static_cast<S>((59u * g + 30u * r + 11u * b) / 100u);
      } else {
        out[Channels * x + 0] = static_cast<S>(b);
        out[Channels * x + 1] = static_cast<S>(g);
        out[Channels * x + 2] = static_cast<S>(r);
      }
    }
  }
}

template <typename S, int Channels>
void Convert(DibImage& img, const PlaneFrameView& f, int step, bool mirrorH, bool mirrorV,
             RowWorkers* workers) {
  auto band = [&](int, int y0, int y1) {
    ConvertRows<S, Channels>(img, f, step, mirrorH, mirrorV, y0, y1);
  };
  if (workers)
    workers->ForEachBand(img.Height(), band);
  else
    band(0, 0, img.Height());
}

}  // namespace

bool PlanesToGray(DibImage& gray, const PlaneFrameView& frame, int step, RowWorkers* workers) {
  if (!Fits(gray, frame, step)) return false;
  if (gray.BitCount() == 8 && frame.sampleBytes == 1)
    Convert<uint8_t, 1>(gray, frame, step, false, false, workers);
  else if (gray.BitCount() == 16 && frame.sampleBytes == 2)
    Convert<uint16_t, 1>(gray, frame, step, false, false, workers);
  else
    return false;
  return true;
}

bool PlanesToColor(DibImage& color, const PlaneFrameView& frame, int step, bool mirrorH,
                   bool mirrorV, RowWorkers* workers) {
  if (!Fits(color, frame, step)) return false;
  const bool narrow = frame.sampleBytes == 1;
  switch (color.BitCount()) {
    case 24:
      if (!narrow) return false;
      Convert<uint8_t, 3>(color, frame, step, mirrorH, mirrorV, workers);
      return true;
    case 32:
      if (!narrow) return false;
      Convert<uint8_t, 4>(color, frame, step, mirrorH, mirrorV, workers);
      return true;
    case 48:
      if (narrow) return false;
      Convert<uint16_t, 3>(color, frame, step, mirrorH, mirrorV, workers);
      return true;
    case 64:
      if (narrow) return false;
      Convert<uint16_t, 4>(color, frame, step, mirrorH, mirrorV, workers);
      return true;
    default:
      return false;
  }
}

}  // namespace vexcam
