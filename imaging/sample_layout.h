#pragma once

#include <cstdint>

#include "imaging/dib_image.h"

namespace vexcam {

// How the adjustments see an image: 8- or 16-bit samples, and how many
// samples make one pixel (1 gray, 3 or 4 colour). Only the first three
// samples of a colour pixel are adjusted.
struct SampleLayout {
  bool wide = false;        // 16-bit samples
  int samplesPerPixel = 0;  // 1, 3 or 4; 0 for an image no adjustment handles
  int32_t maxValue = 0;     // 255 or 65535
};

inline SampleLayout LayoutOf(const DibImage& img) {
  if (img.IsEmpty()) return {};
  switch (img.BitCount()) {
    case 8:
      return {false, 1, 255};
    case 16:
      return {true, 1, 65535};
    case 24:
      return {false, 3, 255};
    case 32:
      return {false, 4, 255};
    case 48:
      return {true, 3, 65535};
    case 64:
      return {true, 4, 65535};
    default:
      return {};
  }
}

}  // namespace vexcam
