#include "imaging/mirror.h"

#include <cstring>

namespace vexcam {

namespace {

template <typename S>
void ReverseRow(S* __restrict dst, const S* __restrict src, int w) {
  for (int x = 0; x < w; ++x) dst[x] = src[w - 1 - x];
}

template <typename S>
void MirrorInto(DibImage& out, const DibImage& in, bool h, bool v) {
  const int w = in.Width();
  const int rows = in.Height();
  for (int y = 0; y < rows; ++y) {
    const int sy = v ? rows - 1 - y : y;
    auto* d = reinterpret_cast<S*>(out.Row(y));
    const auto* s = reinterpret_cast<const S*>(in.Row(sy));
    if (h)
      ReverseRow(d, s, w);
    else
      std::memcpy(d, s, static_cast<size_t>(w) * sizeof(S));
  }
}

}  // namespace

bool SoftwareMirror(DibImage& raw, DibImage& scratch, bool mirrorH, bool mirrorV,
                    MirrorHardware hardware) {
  const bool h = mirrorH && !hardware.horizontal;
  const bool v = mirrorV && !hardware.vertical;
  if (!h && !v) return false;
  if (raw.IsEmpty() || (raw.BitCount() != 8 && raw.BitCount() != 16)) return false;
  if (scratch.Width() != raw.Width() || scratch.Height() != raw.Height() ||
      scratch.BitCount() != raw.BitCount()) {
    if (!scratch.Create(raw.Width(), raw.Height(), raw.BitCount())) return false;
  }
  if (raw.BitCount() == 8)
    MirrorInto<uint8_t>(scratch, raw, h, v);
  else
    MirrorInto<uint16_t>(scratch, raw, h, v);
  std::memcpy(raw.Pixels(), scratch.Pixels(), raw.SizeBytes());
  return true;
}

}  // namespace vexcam
