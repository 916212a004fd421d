#include "imaging/gray_adjust.h"

#include <algorithm>
#include <initializer_list>

namespace vexcam {

namespace {

constexpr int32_t kUnityGain = 128;
constexpr int32_t kDefaultOffset = 128;
constexpr int32_t kMaxGain = 255;

int PhaseIndex(int bayerMode, int x, int y) {
  const int cx = (x + kBayerColumnOffset[bayerMode]) & 1;
  const int ry = (y + kBayerRowOffset[bayerMode]) & 1;
  return cx + 2 * ry;
}

// One row: samples alternate between two phases (even and odd column).
template <typename T>
void GainOffsetRow(T* __restrict row, int width, int32_t gainEven, int32_t offEven, int32_t gainOdd,
                   int32_t offOdd, int32_t max) {
  const int pairs = width / 2;
  for (int i = 0; i < pairs; ++i) {
    const int32_t a = ((row[2 * i] * gainEven) >> 7) + offEven;
    const int32_t b = ((row[2 * i + 1] * gainOdd) >> 7) + offOdd;
    row[2 * i] = static_cast<T>(std::clamp(a, 0, max));
    row[2 * i + 1] = static_cast<T>(std::clamp(b, 0, max));
  }
  if (width & 1) {
    const int32_t a = ((row[width - 1] * gainEven) >> 7) + offEven;
    row[width - 1] = static_cast<T>(std::clamp(a, 0, max));
  }
}

template <typename T>
void GainOffsetImage(DibImage& img, int bayerMode, const int32_t* gain, const int32_t* offset,
                     int32_t max) {
  for (int y = 0; y < img.Height(); ++y) {
    const int pe = PhaseIndex(bayerMode, 0, y);
    const int po = PhaseIndex(bayerMode, 1, y);
    GainOffsetRow<T>(reinterpret_cast<T*>(img.Row(y)), img.Width(), gain[pe], offset[pe], gain[po],
                     offset[po], max);
  }
}

template <typename T>
void SumPhases(const DibImage& img, int bayerMode, int32_t max, uint64_t sum[4],
               uint64_t count[4]) {
  for (int y = 0; y < img.Height(); ++y) {
    const T* row = reinterpret_cast<const T*>(img.Row(y));
    // Even and odd columns accumulate separately so the loop stays branch-free.
    uint64_t s[2] = {0, 0}, n[2] = {0, 0};
    for (int x = 0; x < img.Width(); ++x) {
      const int32_t v = row[x];
      const bool counted = v > 0 && v < max;
      s[x & 1] += counted ? static_cast<uint64_t>(v) : 0;
      n[x & 1] += counted;
    }
    const int pe = PhaseIndex(bayerMode, 0, y);
    const int po = PhaseIndex(bayerMode, 1, y);
    sum[pe] += s[0];
    count[pe] += n[0];
    sum[po] += s[1];
    count[po] += n[1];
  }
}

}  // namespace

int32_t GrayMaxForDepth(int depth) {
  switch (depth) {
    case 10:
      return 1023;
    case 12:
      return 4095;
    case 14:
      return 16383;
    default:
      return 65535;
  }
}

bool GrayGainOffsetIsDefault(const int32_t gain[4], const int32_t offset[4]) {
  for (int i = 0; i < 4; ++i)
    if (gain[i] != kUnityGain || offset[i] != kDefaultOffset) return false;
  return true;
}

void ApplyGrayGainOffset(DibImage& img, int bayerMode, const int32_t gain[4],
                         const int32_t offset[4], int depth) {
  if (img.IsEmpty() || bayerMode < 0 || bayerMode > 3) return;
  if (GrayGainOffsetIsDefault(gain, offset)) return;
  // Settings are range-checked by the setters; clamp again so no sample can
  // overflow whatever a caller passes.
  int32_t g[4], o[4];
  for (int i = 0; i < 4; ++i) {
    g[i] = std::clamp(gain[i], 0, kMaxGain);
    o[i] = std::clamp(offset[i], -65535, 65535);
  }
  if (img.BitCount() == 8)
    GainOffsetImage<uint8_t>(img, bayerMode, g, o, 255);
  else if (img.BitCount() == 16)
    GainOffsetImage<uint16_t>(img, bayerMode, g, o, GrayMaxForDepth(depth));
}

uint32_t MeasureAutoGrayGain(const DibImage& img, int bayerMode, int32_t gain[4], int depth) {
  if (img.IsEmpty() || bayerMode < 0 || bayerMode > 3) return 0;
  uint64_t sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
  if (img.BitCount() == 8)
    SumPhases<uint8_t>(img, bayerMode, 255, sum, count);
  else if (img.BitCount() == 16)
    SumPhases<uint16_t>(img, bayerMode, GrayMaxForDepth(depth), sum, count);
  else
    return 0;
  // Without a reference mean no ratio exists: keep every gain.
  if (count[kGrayPhaseG1] == 0) return 1;
  float mean[4];
  for (int i = 0; i < 4; ++i)
    mean[i] = count[i] ? static_cast<float>(sum[i]) / static_cast<float>(count[i]) : 0.0f;
  gain[kGrayPhaseG1] = kUnityGain;
  for (int p : {kGrayPhaseR, kGrayPhaseG2, kGrayPhaseB}) {
    if (count[p] == 0) continue;  // counted samples are >= 1, so the mean is not 0
    const float g = mean[kGrayPhaseG1] / mean[p] * 128.0f;
    gain[p] = g >= static_cast<float>(kMaxGain) ? kMaxGain : static_cast<int32_t>(g);
  }
  return 1;
}

}  // namespace vexcam
