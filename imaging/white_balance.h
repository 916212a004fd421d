#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/image_settings.h"

namespace vexcam {

// The largest colour gain, in percent, measured or set.
inline constexpr int kMaxWhiteBalanceGain = 400;

// Measured white-balance gains.
struct WhiteBalanceGains {
  int32_t red = 100;
  int32_t green = 100;
  int32_t blue = 100;
};

// Means of the red, blue and both green phases of an 8- or 16-bit raw image;
// red gain = trunc(100 * G / R), blue likewise, each capped at 400, green 100.
// A phase mean of 0 has no finite ratio: the gain becomes 400 (the cap) when
// green is above 0, and keeps its value in `gains` when green is 0 too (a
// black frame carries no colour information). Returns false (gains untouched)
// for an empty or non-raw image.
bool MeasureWhiteBalance(const DibImage& raw, int bayerMode, WhiteBalanceGains& gains);

// The per-frame white balance step: when the auto switch is on, measures the
// gains into the settings. When both one-shot flags are set the switch and
// both flags are cleared afterwards, so the measurement runs on one frame.
// Returns true when the gains were updated.
bool AutoWhiteBalance(const DibImage& raw, ImageSettings& settings);

}  // namespace vexcam
