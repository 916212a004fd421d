#include "instance/sub_sampler.h"

#include <cstdint>

namespace vexcam {

namespace {

// Source index of output index i. Plain: i x f. Bayer cells:
//
//   out  0 1 | 2 3 | 4 5 ...        f = 2: source 0 1 | 4 5 | 8 9 ...
//        R G | R G | R G            each output cell is the source cell
//        G B | G B | G B            starting at (i / 2) x 2f
inline int SourceIndex(int i, int f, bool cells) {
  return cells ? (i >> 1) * 2 * f + (i & 1) : i * f;
}

template <typename T, bool kCells>
void ReduceRows(const DibImage& full, DibImage& out, int f) {
  const int w = out.Width();
  const int h = out.Height();
  for (int r = 0; r < h; ++r) {
    const T* __restrict src = reinterpret_cast<const T*>(full.Row(SourceIndex(r, f, kCells)));
    T* __restrict dst = reinterpret_cast<T*>(out.Row(r));
    if constexpr (kCells) {
      const int step = 2 * f;
      int c = 0;
      for (; c + 1 < w; c += 2, src += step) {
        dst[c] = src[0];
        dst[c + 1] = src[1];
      }
      if (c < w) dst[c] = src[0];
    } else {
      for (int c = 0; c < w; ++c) dst[c] = src[c * f];
    }
  }
}

}  // namespace

bool SubSampler::Prepare(int width, int height, int bitCount, int factor, bool keepBayerCells) {
  if (factor < 2 || (bitCount != 8 && bitCount != 16)) {
    Disable();
    return false;
  }
  if (!full_.Create(width, height, bitCount)) {
    Disable();
    return false;
  }
  factor_ = factor;
  keepBayerCells_ = keepBayerCells;
  return true;
}

void SubSampler::Disable() {
  full_.Release();
  factor_ = 1;
  keepBayerCells_ = false;
}

void SubSampler::Reduce(DibImage& out) const {
  if (!Active() || out.IsEmpty() || out.BitCount() != full_.BitCount()) return;
  // The output is factor times smaller: every source index stays inside the
  // full-size image.
  if (out.Width() * factor_ > full_.Width() || out.Height() * factor_ > full_.Height()) return;
  const bool wide = full_.BitCount() == 16;
  if (wide) {
    if (keepBayerCells_) {
      ReduceRows<uint16_t, true>(full_, out, factor_);
    } else {
      ReduceRows<uint16_t, false>(full_, out, factor_);
    }
  } else if (keepBayerCells_) {
    ReduceRows<uint8_t, true>(full_, out, factor_);
  } else {
    ReduceRows<uint8_t, false>(full_, out, factor_);
  }
}

}  // namespace vexcam
