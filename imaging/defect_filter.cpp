// Vectorisation needs more than -O2's very-cheap cost model.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("O3")
#endif

#include "imaging/defect_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/cpu_dispatch.h"

namespace vexcam {

namespace {

constexpr int kBlock = 64;

bool IsListed(const std::vector<DefectPoint>& list, const CaptureGeometry& g, int w, int h,
              int32_t cx, int32_t cy) {
  for (const DefectPoint& p : list) {
    int32_t fx, fy;
    if (DefectFramePosition(p, g, w, h, &fx, &fy) && fx == cx && fy == cy) return true;
  }
  return false;
}

// Repairs one listed pixel at frame column fx, bottom-based row fy.
template <typename T>
void RepairListed(DibImage& raw, const std::vector<DefectPoint>& list, const CaptureGeometry& g,
                  int32_t fx, int32_t fy) {
  const int w = raw.Width();
  const int h = raw.Height();
  auto sample = [&](int32_t x, int32_t yb) -> int32_t {
    return reinterpret_cast<const T*>(raw.Row(h - 1 - yb))[x];
  };
  int64_t sum = 0;
  int count = 0;
  for (int32_t x = fx - 1; x >= 0; --x)
    if (!IsListed(list, g, w, h, x, fy)) {
      sum += sample(x, fy);
      ++count;
      break;
    }
  for (int32_t x = fx + 1; x < w; ++x)
    if (!IsListed(list, g, w, h, x, fy)) {
      sum += sample(x, fy);
      ++count;
      break;
    }
  for (int32_t y = fy - 1; y >= 0; --y)
    if (!IsListed(list, g, w, h, fx, y)) {
      sum += sample(fx, y);
      ++count;
      break;
    }
  for (int32_t y = fy + 1; y < h; ++y)
    if (!IsListed(list, g, w, h, fx, y)) {
      sum += sample(fx, y);
      ++count;
      break;
    }
  if (count > 0) reinterpret_cast<T*>(raw.Row(h - 1 - fy))[fx] = static_cast<T>(sum / count);
}

// First pass over one interior row: the neighbour test. Whole blocks of a
// fixed size so the loop vectorises, then the tail.
//        up
//   left  s  right
//       down
template <typename T>
[[gnu::always_inline]] inline uint8_t Outlier(const T* __restrict up, const T* __restrict cur,
                                              const T* __restrict down, int x, int32_t threshold) {
  const int32_t avg = (cur[x - 1] + cur[x + 1] + up[x] + down[x]) >> 2;
  const int32_t diff = cur[x] - avg;
  return static_cast<uint8_t>((diff < 0 ? -diff : diff) >= threshold);
}

template <typename T>
[[gnu::always_inline]] inline void MarkBlock(const T* __restrict up, const T* __restrict cur,
                                             const T* __restrict down, uint8_t* __restrict mark,
                                             int32_t threshold) {
  for (int j = 0; j < kBlock; ++j) {
    const int32_t avg = (cur[j - 1] + cur[j + 1] + up[j] + down[j]) >> 2;
    const int32_t diff = cur[j] - avg;
    const int32_t mag = diff < 0 ? -diff : diff;
    mark[j] = static_cast<uint8_t>(mag >= threshold);
  }
}

template <typename T>
[[gnu::always_inline]] inline void MarkRow(const T* __restrict up, const T* __restrict cur,
                                           const T* __restrict down, uint8_t* __restrict mark,
                                           int w, int32_t threshold) {
  int x = 1;
  for (; x + kBlock <= w - 1; x += kBlock)
    MarkBlock(up + x, cur + x, down + x, mark + x, threshold);
  for (; x < w - 1; ++x) mark[x] = Outlier(up, cur, down, x, threshold);
}

template <typename T>
[[gnu::always_inline]] inline void DotFilter(DibImage& raw, uint8_t* marks, int32_t* scratch,
                                             const DibImage& hot, const DibImage& dead,
                                             const CaptureGeometry& g, int32_t threshold) {
  const int w = raw.Width();
  const int h = raw.Height();
  const int sub = std::max(1, g.subSample);
  const int64_t x0 = g.x0, y0 = g.y0;
  // Interior columns whose sensor column lies on the maps.
  int64_t cLo = 1, cHi = w - 1;
  if (x0 < 0) cLo = std::max<int64_t>(cLo, (-x0 + sub - 1) / sub);
  cHi = std::min<int64_t>(cHi, x0 <= DefectState::kSensorWidth - 1
                                   ? (DefectState::kSensorWidth - 1 - x0) / sub + 1
                                   : 0);

  std::memset(marks, 0, static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 1; y < h - 1; ++y) {
    uint8_t* mark = marks + static_cast<size_t>(y) * w;
    MarkRow<T>(reinterpret_cast<const T*>(raw.Row(y - 1)), reinterpret_cast<const T*>(raw.Row(y)),
               reinterpret_cast<const T*>(raw.Row(y + 1)), mark, w, threshold);
    const int64_t sy = y0 + static_cast<int64_t>(y) * sub;
    if (sy < 0 || sy >= DefectState::kSensorHeight || cLo >= cHi) continue;
    const uint8_t* hr = hot.Row(static_cast<int>(sy));
    const uint8_t* dr = dead.Row(static_cast<int>(sy));
    if (sub == 1) {
      const uint8_t* __restrict h1 = hr + (x0 + cLo);
      const uint8_t* __restrict d1 = dr + (x0 + cLo);
      uint8_t* __restrict m1 = mark + cLo;
      const int n = static_cast<int>(cHi - cLo);
      for (int c = 0; c < n; ++c) m1[c] |= h1[c] | d1[c];
    } else {
      for (int64_t c = cLo; c < cHi; ++c) {
        const int64_t sx = x0 + c * sub;
        mark[c] |= static_cast<uint8_t>(hr[sx] | dr[sx]);
      }
    }
  }

  // Second pass: unmarked pixels never change, so repairs do not feed each
  // other and the nearest unmarked sample in each direction can be tracked
  // instead of searched: the left one by the sweep, the right one and the
  // one below by pointers that only move forward, the one above per column.
  // Each pixel is visited a bounded number of times however dense the
  // marks. Marks lie in the interior only, so the outer rows and columns
  // are unmarked and every direction finds a sample.
  int32_t* up = scratch;        // per column: nearest unmarked row above the current row
  int32_t* down = scratch + w;  // per column: an unmarked row below, valid while > current row
  for (int x = 0; x < w; ++x) {
    up[x] = 0;
    down[x] = 0;
  }
  int cleanRow = 0;  // last row without marks; above it up[] may be stale
  auto sample = [&](int x, int y) -> int32_t { return reinterpret_cast<const T*>(raw.Row(y))[x]; };
  for (int y = 1; y < h - 1; ++y) {
    const uint8_t* mark = marks + static_cast<size_t>(y) * w;
    T* row = reinterpret_cast<T*>(raw.Row(y));
    int left = 0;
    int right = 0;
    bool any = false;
    for (int x = 1; x < w - 1; ++x) {
      // Marks are rare in a normal frame: skip eight clear bytes at a time.
      uint64_t eight;
      if (x + 8 <= w - 1 && (std::memcpy(&eight, mark + x, 8), eight == 0)) {
        left = x + 7;
        x += 7;
        continue;
      }
      if (!mark[x]) {
        left = x;
        continue;
      }
      any = true;
      if (right <= x) {
        right = x + 1;
        while (mark[right]) ++right;
      }
      if (down[x] <= y) {
        int r = y + 1;
        while (marks[static_cast<size_t>(r) * w + x]) ++r;
        down[x] = r;
      }
      const int above = std::max(up[x], cleanRow);
      const int32_t sum = row[left] + row[right] + sample(x, above) + sample(x, down[x]);
      row[x] = static_cast<T>(sum / 4);
    }
    if (!any) {
      cleanRow = y;
      continue;
    }
    for (int x = 0; x < w; ++x) up[x] = mark[x] ? std::max(up[x], cleanRow) : y;
  }
}

VEXCAM_CPU_VARIANTS(void, DotFilter8,
                    (DibImage & raw, uint8_t* marks, int32_t* scratch, const DibImage& hot,
                     const DibImage& dead, const CaptureGeometry& g),
                    { DotFilter<uint8_t>(raw, marks, scratch, hot, dead, g, kDotThreshold8); })

VEXCAM_CPU_VARIANTS(void, DotFilter16,
                    (DibImage & raw, uint8_t* marks, int32_t* scratch, const DibImage& hot,
                     const DibImage& dead, const CaptureGeometry& g),
                    { DotFilter<uint16_t>(raw, marks, scratch, hot, dead, g, kDotThreshold16); })

bool IsMap(const DibImage& img) {
  return !img.IsEmpty() && img.Width() == DefectState::kSensorWidth &&
         img.Height() == DefectState::kSensorHeight && img.BitCount() == 8;
}

}  // namespace

bool DefectFramePosition(const DefectPoint& p, const CaptureGeometry& g, int frameWidth,
                         int frameHeight, int32_t* fx, int32_t* fy) {
  int64_t x = p.x, y = p.y;
  const bool flipX = g.hwMirrorH && g.mirrorH;
  const bool flipY = g.hwMirrorV && g.mirrorV;
  if (flipX) x = DefectState::kSensorWidth - 1 - x;
  if (flipY) y = DefectState::kSensorHeight - 1 - y;
  int64_t left = 0, top = 0;
  if (g.canChangeWidth)
    left = (flipX && g.width != DefectState::kSensorWidth)
               ? int64_t{DefectState::kSensorWidth} - g.x0 - g.width
               : g.x0;
  // Rows count from the bottom of the sensor.
  if (g.canChangeHeight)
    top = (flipY && g.height != DefectState::kSensorHeight)
              ? int64_t{g.y0}
              : int64_t{DefectState::kSensorHeight} - g.y0 - g.height;
  x -= left;
  y -= top;
  if (x < 0 || x >= frameWidth || y < 0 || y >= frameHeight) return false;
  *fx = static_cast<int32_t>(x);
  *fy = static_cast<int32_t>(y);
  return true;
}

void ApplyConfigFilter(DibImage& raw, const std::vector<DefectPoint>& list,
                       const CaptureGeometry& geometry) {
  if (raw.IsEmpty() || list.empty()) return;
  if (raw.BitCount() != 8 && raw.BitCount() != 16) return;
  for (const DefectPoint& p : list) {
    int32_t fx, fy;
    if (!DefectFramePosition(p, geometry, raw.Width(), raw.Height(), &fx, &fy)) continue;
    if (raw.BitCount() == 8)
      RepairListed<uint8_t>(raw, list, geometry, fx, fy);
    else
      RepairListed<uint16_t>(raw, list, geometry, fx, fy);
  }
}

void ApplyDotFilter(DibImage& raw, DefectState& state, const CaptureGeometry& geometry) {
  if (raw.IsEmpty() || raw.Width() < 3 || raw.Height() < 3) return;
  const bool wide = raw.BitCount() == 16;
  if (!wide && raw.BitCount() != 8) return;
  const DibImage& hot = wide ? state.hotMap16 : state.hotMap8;
  const DibImage& dead = wide ? state.deadMap16 : state.deadMap8;
  if (!IsMap(hot) || !IsMap(dead)) return;
  // The marks, then two per-column rows of the second pass, 4-byte aligned,
  // in the same buffer so that a steady stream allocates nothing.
  const size_t pixels = static_cast<size_t>(raw.Width()) * static_cast<size_t>(raw.Height());
  const size_t scratchAt = (pixels + 3) / 4 * 4;
  const size_t bytes =
      scratchAt + 2 * sizeof(int32_t) * static_cast<size_t>(raw.Width()) + sizeof(int32_t);
  if (state.outlierMap.size() < bytes) state.outlierMap.resize(bytes);
  uint8_t* base = state.outlierMap.data();
  // vector storage is aligned for any fundamental type, so base + scratchAt is 4-byte aligned.
  auto* scratch = reinterpret_cast<int32_t*>(base + scratchAt);
  if (wide)
    VEXCAM_PICK(DotFilter16)(raw, base, scratch, hot, dead, geometry);
  else
    VEXCAM_PICK(DotFilter8)(raw, base, scratch, hot, dead, geometry);
}

}  // namespace vexcam
