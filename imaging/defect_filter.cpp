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

// Where the dot filter keeps its work: the marks, then the per-column rows of
// the second pass, then (dense frames only) the nearest unmarked sample below
// every pixel. One buffer sized for the worst case, so that a steady stream
// allocates nothing whatever the frames look like.
struct DotScratch {
  uint8_t* marks;
  int32_t* up;       // sparse: per column, nearest unmarked row above
  int32_t* down;     // sparse: per column, an unmarked row below, valid while > current row
  uint8_t* samples;  // dense: above, left and right rows, then w x h samples below

  static size_t Align(size_t n) { return (n + 7) / 8 * 8; }
  static size_t Bytes(size_t w, size_t h, size_t sampleBytes) {
    return Align(w * h) + Align(2 * sizeof(int32_t) * w) + sampleBytes * w * (h + 3);
  }
  DotScratch(uint8_t* base, size_t w, size_t h)
      : marks(base),
        up(reinterpret_cast<int32_t*>(base + Align(w * h))),
        down(up + w),
        samples(base + Align(w * h) + Align(2 * sizeof(int32_t) * w)) {}
};

// First pass: marks outliers and the pixels on the hot and dead maps; returns
// how many pixels are marked.
template <typename T>
[[gnu::always_inline]] inline size_t MarkFrame(const DibImage& raw, uint8_t* marks,
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
  size_t count = 0;
  for (int y = 1; y < h - 1; ++y) {
    uint8_t* __restrict mark = marks + static_cast<size_t>(y) * w;
    MarkRow<T>(reinterpret_cast<const T*>(raw.Row(y - 1)), reinterpret_cast<const T*>(raw.Row(y)),
               reinterpret_cast<const T*>(raw.Row(y + 1)), mark, w, threshold);
    const int64_t sy = y0 + static_cast<int64_t>(y) * sub;
    if (sy >= 0 && sy < DefectState::kSensorHeight && cLo < cHi) {
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
    uint32_t rowCount = 0;
    for (int x = 0; x < w; ++x) rowCount += mark[x];
    count += rowCount;
  }
  return count;
}

// Second pass for frames with few marks. Unmarked pixels never change, so
// repairs do not feed each other and the nearest unmarked sample in each
// direction can be tracked instead of searched: the left one by the sweep,
// the right one and the one below by pointers that only move forward, the
// one above per column. Marks lie in the interior only, so the outer rows and
// columns are unmarked and every direction finds a sample.
template <typename T>
[[gnu::always_inline]] inline void RepairSparse(DibImage& raw, const DotScratch& s) {
  const int w = raw.Width();
  const int h = raw.Height();
  const uint8_t* marks = s.marks;
  int32_t* up = s.up;
  int32_t* down = s.down;
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
      // Marks are rare: skip eight clear bytes at a time.
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

// Second pass for frames with many marks, where the sparse pass's searches
// and branches cost most: the nearest unmarked samples are carried as values
// in branch-free sweeps. A bottom-up sweep stores the one below each pixel,
// the top-down sweep carries the one above per column and finds the left and
// right ones with a sweep each way along the row. Same result as the sparse
// pass.
template <typename T>
[[gnu::always_inline]] inline void RepairDense(DibImage& raw, const DotScratch& s) {
  const int w = raw.Width();
  const int h = raw.Height();
  const uint8_t* marks = s.marks;
  T* __restrict above = reinterpret_cast<T*>(s.samples);
  T* __restrict left = above + w;
  T* __restrict right = left + w;
  T* below = right + w;  // row y at below + y * w
  auto rowOf = [&](int y) { return reinterpret_cast<T*>(raw.Row(y)); };

  // All ones where marked: selects are masks, so nothing branches on the marks.
  auto keepOf = [](uint8_t m) { return static_cast<T>(T{0} - T{m != 0}); };
  auto pick = [](T keep, T kept, T other) {
    return static_cast<T>((kept & keep) | (other & ~keep));
  };

  // Bottom-up: `above` serves as the running sample below.
  std::memcpy(above, rowOf(h - 1), sizeof(T) * w);
  for (int y = h - 2; y >= 1; --y) {
    const uint8_t* __restrict m = marks + static_cast<size_t>(y) * w;
    const T* __restrict r = rowOf(y);
    T* __restrict b = below + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const T a = above[x];
      b[x] = a;
      above[x] = pick(keepOf(m[x]), a, r[x]);
    }
  }
  std::memcpy(above, rowOf(0), sizeof(T) * w);
  for (int y = 1; y < h - 1; ++y) {
    const uint8_t* __restrict m = marks + static_cast<size_t>(y) * w;
    T* __restrict row = rowOf(y);
    const T* __restrict b = below + static_cast<size_t>(y) * w;
    T carry = row[w - 1];
    for (int x = w - 2; x >= 1; --x) {
      right[x] = carry;
      carry = pick(keepOf(m[x]), carry, row[x]);
    }
    carry = row[0];
    for (int x = 1; x < w - 1; ++x) {
      left[x] = carry;
      carry = pick(keepOf(m[x]), carry, row[x]);
    }
    for (int x = 1; x < w - 1; ++x) {
      const T keep = keepOf(m[x]);
      const uint32_t sum = uint32_t{left[x]} + right[x] + above[x] + b[x];
      const T v = row[x];
      row[x] = pick(keep, static_cast<T>(sum >> 2), v);
      above[x] = pick(keep, above[x], v);
    }
  }
}

template <typename T>
[[gnu::always_inline]] inline void DotFilter(DibImage& raw, const DotScratch& s,
                                             const DibImage& hot, const DibImage& dead,
                                             const CaptureGeometry& g, int32_t threshold) {
  const size_t pixels = static_cast<size_t>(raw.Width()) * static_cast<size_t>(raw.Height());
  const size_t marked = MarkFrame<T>(raw, s.marks, hot, dead, g, threshold);
  if (marked == 0) return;
  // About one pixel in sixteen: beyond it the sweeps cost less than the searches.
  if (marked * 16 > pixels)
    RepairDense<T>(raw, s);
  else
    RepairSparse<T>(raw, s);
}

VEXCAM_CPU_VARIANTS(void, DotFilter8,
                    (DibImage & raw, const DotScratch& s, const DibImage& hot, const DibImage& dead,
                     const CaptureGeometry& g),
                    { DotFilter<uint8_t>(raw, s, hot, dead, g, kDotThreshold8); })

VEXCAM_CPU_VARIANTS(void, DotFilter16,
                    (DibImage & raw, const DotScratch& s, const DibImage& hot, const DibImage& dead,
                     const CaptureGeometry& g),
                    { DotFilter<uint16_t>(raw, s, hot, dead, g, kDotThreshold16); })

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
  const size_t w = static_cast<size_t>(raw.Width());
  const size_t h = static_cast<size_t>(raw.Height());
  const size_t bytes = DotScratch::Bytes(w, h, wide ? 2 : 1);
  if (state.outlierMap.size() < bytes) state.outlierMap.resize(bytes);
  // vector storage is aligned for any fundamental type, and every part of
  // the scratch starts at a multiple of 8 bytes.
  const DotScratch scratch(state.outlierMap.data(), w, h);
  if (wide)
    VEXCAM_PICK(DotFilter16)(raw, scratch, hot, dead, geometry);
  else
    VEXCAM_PICK(DotFilter8)(raw, scratch, hot, dead, geometry);
}

}  // namespace vexcam
