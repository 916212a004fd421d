#include "imaging/auto_iris.h"

#include <algorithm>

namespace vexcam {

namespace {

// The factor is kept in twentieths so that steps of 0.05 add up exactly
// (five windows at 255 give exactly 0.25, not 0.2499...).
constexpr int32_t kUnit = 20;
constexpr int32_t kLowLimit = 12;   // 0.6
constexpr int32_t kHighLimit = 24;  // 1.2
constexpr int32_t kMinGain = 4;

// Sample windows as fractions of width and height in hundredths:
// left, top, right, bottom (right and bottom exclusive).
constexpr int kWindows[5][4] = {
    {10, 10, 20, 20}, {10, 80, 20, 90}, {45, 45, 55, 55}, {80, 10, 90, 20}, {80, 80, 90, 90},
};

template <typename T>
int64_t WindowMean(const DibImage& img, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return 0;
  int64_t sum = 0;
  for (int y = top; y < bottom; ++y) {
    const T* row = reinterpret_cast<const T*>(img.Row(y));
    for (int x = left; x < right; ++x) sum += row[x];
  }
  return sum / (static_cast<int64_t>(right - left) * (bottom - top));
}

int32_t StepFor(int64_t v) {
  if (v > 200) return -3;
  if (v > 160) return -2;
  if (v < 50) return 2;
  if (v < 100) return 1;
  return 0;
}

}  // namespace

int32_t AutoIrisFactor20(const DibImage& raw, int sampleBits) {
  if (raw.IsEmpty() || (raw.BitCount() != 8 && raw.BitCount() != 16)) return kUnit;
  const int shift = raw.BitCount() == 16 ? std::clamp(sampleBits, 9, 16) - 8 : 0;
  const int64_t w = raw.Width(), h = raw.Height();
  int32_t f = kUnit;
  for (const auto& win : kWindows) {
    // trunc(fraction * size) in exact integer arithmetic.
    const int l = static_cast<int>(w * win[0] / 100), t = static_cast<int>(h * win[1] / 100);
    const int r = static_cast<int>(w * win[2] / 100), b = static_cast<int>(h * win[3] / 100);
    const int64_t mean = raw.BitCount() == 8 ? WindowMean<uint8_t>(raw, l, t, r, b)
                                             : WindowMean<uint16_t>(raw, l, t, r, b) >> shift;
    f += StepFor(mean);
  }
  return f;
}

AutoIrisRequest MeasureAutoIris(const DibImage& raw, int mode, int sampleBits) {
  AutoIrisRequest request;
  if (mode != 1 && mode != 2) return request;
  if (raw.IsEmpty() || (raw.BitCount() != 8 && raw.BitCount() != 16)) return request;
  const int32_t f = AutoIrisFactor20(raw, sampleBits);
  if (f > kLowLimit && f < kHighLimit) return request;
  request.mode = mode;
  request.factor20 = f;
  return request;
}

namespace {

bool ScaleExposure(int32_t f, IAutoIrisCamera& camera, AutoIrisResult* r) {
  uint32_t current = 0, lo = 0, hi = 0;
  if (!camera.GetExposureTime(&current) || !camera.GetExposureTimeMin(&lo) ||
      !camera.GetExposureTimeMax(&hi))
    return false;
  // Saturate at the 16-bit exposure field instead of wrapping.
  int64_t e = static_cast<int64_t>(current) * f / kUnit;
  e = std::clamp<int64_t>(e, 1, 0xFFFF);
  e = std::max<int64_t>(e, lo);
  e = std::min<int64_t>(e, hi);
  if (!camera.SetExposureTime(static_cast<uint32_t>(e))) return false;
  r->exposureSet = 1;
  r->exposure = static_cast<uint32_t>(e);
  double seconds = 0.0;
  if (camera.IsExposureTimeExSupported() && camera.GetExposureTimeEx(&seconds)) {
    r->exposureExRead = 1;
    r->exposureEx = seconds;
  }
  return true;
}

bool ScaleGain(int32_t f, IAutoIrisCamera& camera, AutoIrisResult* r) {
  int32_t current = 0, lo = 0, hi = 0;
  if (!camera.GetGlobalGain(&current) || !camera.GetGlobalGainMin(&lo) ||
      !camera.GetGlobalGainMax(&hi))
    return false;
  const int64_t g0 = std::max(current, kMinGain);
  int64_t g = g0 * f / kUnit;
  if (f > kUnit) g = std::max<int64_t>(g, kMinGain);
  g = std::max<int64_t>(g, lo);
  if (hi <= g) g = hi;
  if (!camera.SetGlobalGain(static_cast<int32_t>(g))) return false;
  r->gainSet = 1;
  r->gain = static_cast<int32_t>(g);
  return true;
}

}  // namespace

uint32_t ApplyAutoIris(const AutoIrisRequest& request, IAutoIrisCamera& camera,
                       AutoIrisResult* result) {
  AutoIrisResult r;
  if (result) *result = r;
  bool changed = false;
  if (request.mode == 1)
    changed = ScaleExposure(request.factor20, camera, &r);
  else if (request.mode == 2)
    changed = ScaleGain(request.factor20, camera, &r);
  if (!changed) return 0;
  if (result) *result = r;
  return 1;
}

uint32_t RunAutoIris(const DibImage& raw, int mode, IAutoIrisCamera& camera, AutoIrisResult* result,
                     int sampleBits) {
  return ApplyAutoIris(MeasureAutoIris(raw, mode, sampleBits), camera, result);
}

}  // namespace vexcam
