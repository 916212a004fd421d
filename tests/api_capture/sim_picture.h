#pragma once
// The simulated ZA01's picture, for checking delivered frames sample by sample.
#include <cstdint>
#include <vector>

#include "sim/test_pattern.h"
#include "vexcam/VexCamSim.h"

namespace vexcam::test {

// The exposure the simulated camera stamps into its frames.
inline uint32_t SimExposure(UINT id) {
  BYTE b0 = 0, b1 = 0, b2 = 0;
  if (!VexSim_ReadFpgaRegister(id, 133, &b0) || !VexSim_ReadFpgaRegister(id, 134, &b1) ||
      !VexSim_ReadFpgaRegister(id, 155, &b2))
    return UINT32_MAX;
  return b0 | b1 << 8 | b2 << 16;
}

// Whether some frame tag makes expected(tag, c, r) equal sample(c, r) over the
// whole width x height image. The ramp repeats every 1024 tags, and
// neighbouring tags differ in a few samples only, so the whole image decides.
template <class Sample, class Expected>
bool MatchesSomeTag(int width, int height, const Sample& sample, const Expected& expected) {
  for (uint32_t t = 0; t < 1024; ++t) {
    if (sample(0, 0) != expected(t, 0, 0) || sample(1, 0) != expected(t, 1, 0) ||
        sample(1, 1) != expected(t, 1, 1))
      continue;
    bool whole = true;
    for (int r = 0; r < height && whole; ++r)
      for (int c = 0; c < width && whole; ++c) whole = sample(c, r) == expected(t, c, r);
    if (whole) return true;
  }
  return false;
}

// Whether a top-down Mono 8 / Mono 16 image is one whole frame of the
// camera's picture at this exposure (the ZA01 frame is turned by 180
// degrees), or with `step` every step-th sample of every step-th row of it.
inline bool IsWholeFrame(const std::vector<uint8_t>& image, int bits, uint32_t exposure,
                         int step = 1) {
  const int bytes = bits / 8, width = 640 / step;
  return MatchesSomeTag(
      width, 512 / step,
      [&](int c, int r) {
        const uint8_t* p = image.data() + (r * width + c) * bytes;
        return bytes == 1 ? uint32_t{p[0]} : uint32_t{p[0]} | uint32_t{p[1]} << 8;
      },
      [&](uint32_t tag, int c, int r) {
        return sim::PatternSample(tag, exposure, 639 - step * c, 511 - step * r, bits);
      });
}

}  // namespace vexcam::test
