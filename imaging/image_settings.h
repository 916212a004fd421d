#pragma once

#include <cstdint>

namespace vexcam {

// Per-phase index of the gray gains and offsets. A sample at column x, row y
// has phase (cx, ry) = ((x + c0) & 1, (y + r0) & 1) for its Bayer mode; the
// array index is cx + 2 * ry:
//   index 0 (0,0) G1    index 1 (1,0) R
//   index 2 (0,1) B     index 3 (1,1) G2
enum GrayPhase : int {
  kGrayPhaseG1 = 0,
  kGrayPhaseR = 1,
  kGrayPhaseB = 2,
  kGrayPhaseG2 = 3,
};

// Column and row offsets (c0, r0) of each Bayer mode 0..3.
inline constexpr int kBayerColumnOffset[4] = {0, 0, 1, 1};
inline constexpr int kBayerRowOffset[4] = {0, 1, 0, 1};

// The stored image settings of an instance that the pipeline reads. Plain
// 32-bit values: the API may change them between frames from another thread;
// a frame works on a copy taken when it starts. Defaults are those used when
// no stored settings exist.
struct ImageSettings {
  // Generic value ids 1..5.
  int32_t brightness = 0;  // -255..255
  int32_t contrast = 0;    // -127..127
  int32_t hue = 0;         // -360..360 degrees
  int32_t saturation = 0;  // -255..255
  int32_t sharpness = 0;   // 0..30

  // White balance (ids 6..10): 0..400, 100 = x1.0.
  int32_t bayerGainRed = 100;
  int32_t bayerGainGreen = 100;
  int32_t bayerGainBlue = 100;
  int32_t bayerGainAuto = 0;  // 0/1, continuous measurement
  // One-shot white balance request of the image dialog (both set together).
  int32_t bayerGainAutoOnce1 = 0;
  int32_t bayerGainAutoOnce2 = 0;

  int32_t gamma = 100;    // id 11, 0..200 percent
  int32_t bayerMode = 0;  // id 12, 0..3

  // Gray processing (ids 19..28).
  int32_t grayMode = 0;                          // 0 off, 1 gain/offset, 2 luma
  int32_t grayGain[4] = {128, 128, 128, 128};    // 0..255, 128 = x1.0, by GrayPhase
  int32_t grayOffset[4] = {128, 128, 128, 128};  // -255..255, by GrayPhase
  // Automatic gray gain: counts down per measured frame; -1 keeps measuring.
  int32_t grayAutoRequest = 0;

  // Defect correction and auto exposure (ids 102, 103 and named setters).
  int32_t dotFilter = 0;     // 0..1
  int32_t maskFilter = 0;    // 0..1
  int32_t configFilter = 0;  // 0..1
  int32_t autoIrisMode = 0;  // 0 off, 1 exposure time, 2 global gain

  // Capture geometry and orientation.
  int32_t colorMode = 0;  // 0..5: Mono 8, Mono 16, Color 24, 32, 48, 64
  int32_t mirrorH = 0;
  int32_t mirrorV = 0;
  int32_t windowX = 0;  // capture window on the sensor, before sub-sampling
  int32_t windowY = 0;
  int32_t windowWidth = 640;
  int32_t windowHeight = 512;
  int32_t subSample = 0;  // code 0..3 for factors 1, 2, 4, 8

  // --- Fields appended by the pipeline owner go below this line. ---
};

// Sub-sampling factor of a sub-sample code (0..3 -> 1, 2, 4, 8); 1 for any
// other code.
inline int SubSampleFactor(int32_t code) { return (code >= 0 && code <= 3) ? (1 << code) : 1; }

}  // namespace vexcam
