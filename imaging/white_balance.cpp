#include "imaging/white_balance.h"

namespace vexcam {

bool MeasureWhiteBalance(const DibImage& raw, int bayerMode, WhiteBalanceGains& gains) {
  if (raw.IsEmpty() || (raw.BitCount() != 8 && raw.BitCount() != 16)) return false;
  const int mode = bayerMode & 3;
  const int c0 = kBayerColumnOffset[mode];
  const int r0 = kBayerRowOffset[mode];
  const int w = raw.Width();
  // sum[cx + 2 * ry], the same phase index as the gray gains.
  uint64_t sum[4] = {0, 0, 0, 0};
  uint64_t count[4] = {0, 0, 0, 0};
  for (int y = 0; y < raw.Height(); ++y) {
    uint64_t even = 0, odd = 0;
    if (raw.BitCount() == 8) {
      const uint8_t* row = raw.Row(y);
      for (int x = 0; x + 1 < w; x += 2) {
        even += row[x];
        odd += row[x + 1];
      }
      if (w & 1) even += row[w - 1];
    } else {
      const auto* row = reinterpret_cast<const uint16_t*>(raw.Row(y));
      for (int x = 0; x + 1 < w; x += 2) {
        even += row[x];
        odd += row[x + 1];
      }
      if (w & 1) even += row[w - 1];
    }
    const int ry = (y + r0) & 1;
    // Even columns have phase cx = c0.
    sum[c0 + 2 * ry] += even;
    count[c0 + 2 * ry] += static_cast<uint64_t>((w + 1) / 2);
    sum[(1 - c0) + 2 * ry] += odd;
    count[(1 - c0) + 2 * ry] += static_cast<uint64_t>(w / 2);
  }
  auto mean = [](uint64_t s, uint64_t n) {
    return n ? static_cast<double>(s) / static_cast<double>(n) : 0.0;
  };
  // Phases: (0,0) and (1,1) green, (1,0) blue, (0,1) red.
  const double g = mean(sum[0] + sum[3], count[0] + count[3]);
  const double blue = mean(sum[1], count[1]);
  const double red = mean(sum[2], count[2]);
  auto gainOf = [g](double m, int32_t old) -> int32_t {
    if (m <= 0.0) return g > 0.0 ? kMaxWhiteBalanceGain : old;
    const double v = 100.0 * g / m;
    return v >= kMaxWhiteBalanceGain ? kMaxWhiteBalanceGain : static_cast<int32_t>(v);
  };
  gains.red = gainOf(red, gains.red);
  gains.blue = gainOf(blue, gains.blue);
  gains.green = 100;
  return true;
}

bool AutoWhiteBalance(const DibImage& raw, ImageSettings& settings) {
  if (!settings.bayerGainAuto) return false;
  WhiteBalanceGains gains{settings.bayerGainRed, settings.bayerGainGreen, settings.bayerGainBlue};
  if (!MeasureWhiteBalance(raw, settings.bayerMode, gains)) return false;
  settings.bayerGainRed = gains.red;
  settings.bayerGainGreen = gains.green;
  settings.bayerGainBlue = gains.blue;
  if (settings.bayerGainAutoOnce1 && settings.bayerGainAutoOnce2) {
    settings.bayerGainAuto = 0;
    settings.bayerGainAutoOnce1 = 0;
    settings.bayerGainAutoOnce2 = 0;
  }
  return true;
}

}  // namespace vexcam
