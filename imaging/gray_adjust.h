#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/image_settings.h"

namespace vexcam {

// Largest sample of a 16-bit image holding data of the given depth: 1023, 4095
// or 16383 for depths 10, 12 and 14, otherwise 65535.
int32_t GrayMaxForDepth(int depth);

// True when the per-phase gray gain and offset would be skipped: all four
// gains and all four offsets at their stored defaults (128).
bool GrayGainOffsetIsDefault(const int32_t gain[4], const int32_t offset[4]);

// Per-phase gray gain and offset on a Mono 8 or Mono 16 image (GrayMode 1):
// a sample of phase p becomes trunc(s * gain[p] / 128) + offset[p], clamped to
// 0..max (max 255, or GrayMaxForDepth(depth) for 16-bit images). Phases are
// indexed as in GrayPhase, by the Bayer mode 0..3. Does nothing on other
// images or when GrayGainOffsetIsDefault.
void ApplyGrayGainOffset(DibImage& img, int bayerMode, const int32_t gain[4],
                         const int32_t offset[4], int depth = 16);

// Automatic gray gain on a Mono 8 or Mono 16 image. Per phase, the samples
// strictly between 0 and max (255, or GrayMaxForDepth(depth)) are averaged;
// the gains become G1 128 and R, G2, B = trunc(mean(G1) / mean(phase) * 128),
// capped at 255. A phase with no counted sample keeps its gain; when G1 itself
// has none, no gain changes. Writes gain[4] and returns 1 when a measurement
// was made (even if no gain could change), 0 on an unsupported image.
uint32_t MeasureAutoGrayGain(const DibImage& img, int bayerMode, int32_t gain[4], int depth = 16);

}  // namespace vexcam
