#include "imaging/region_op.h"

#include <algorithm>

namespace vexcam {

int ApplyRegionOp(DibImage& dst, RegionOp op, const DibImage& src, const RegionRect* rect, int x,
                  int y, const void* p1, const void* p2) {
  if (!op || dst.IsEmpty() || src.IsEmpty()) return 0;
  // 64-bit throughout: callers may pass any int corner.
  int64_t l = 0, t = 0, r = src.Width(), b = src.Height();
  if (rect) {
    l = rect->left;
    t = rect->top;
    r = rect->right;
    b = rect->bottom;
  }
  // Source pixel (sx, sy) lands at (sx + dx, sy + dy) in dst.
  const int64_t dx = static_cast<int64_t>(x) - l;
  const int64_t dy = static_cast<int64_t>(y) - t;
  l = std::max<int64_t>({l, 0, -dx});
  t = std::max<int64_t>({t, 0, -dy});
  r = std::min<int64_t>({r, src.Width(), dst.Width() - dx});
  b = std::min<int64_t>({b, src.Height(), dst.Height() - dy});
  if (l >= r || t >= b) return 0;
  const RegionRect clipped{static_cast<int32_t>(l), static_cast<int32_t>(t),
                           static_cast<int32_t>(r), static_cast<int32_t>(b)};
  return op(dst.Pixels(), src.Pixels(), clipped, static_cast<int>(l + dx), static_cast<int>(t + dy),
            dst.BytesPerPixel(), src.BytesPerPixel(), dst.Stride(), src.Stride(), p1, p2);
}

}  // namespace vexcam
