#pragma once
// The deterministic test picture of the simulated camera. Every sample is a
// pure function of the frame tag, the exposure counter and the sensor
// position, so a test can recompute any delivered frame.
//
//   phase  = (y & 1) * 2 + (x & 1)              Bayer cell: 0 R, 1 Gr, 2 Gb, 3 B
//   ramp   = (7 * x + 13 * y + 29 * tag) & 1023  diagonal ramp that moves each frame
//   scene  = phase * 1024 + ramp                 12-bit scene value
//   gain   = 1 + min(exposure, 1920) / 128       1..16, brighter with longer exposure
//   v12    = scene * gain / 16                   12-bit sample
//   16-bit = (v12 << 4) | (v12 >> 8)             full-scale 0..65535
//   8-bit  = v12 >> 4                            (equals the 16-bit sample >> 8)
//
// x and y are sensor coordinates (window origin plus column / row), so a
// shifted window, a mirrored row or a stale frame all change the samples.

#include <cstdint>

namespace vexcam::sim {

// One sample; bits is 8 or 16 (anything above 8 counts as 16).
uint16_t PatternSample(uint32_t tag, uint32_t exposure, uint32_t x, uint32_t y, int bits);

// Fills `count` consecutive samples of sensor row y starting at column x0:
// one byte each for 8 bits, two bytes little-endian for 16 bits.
void FillPatternRow(uint32_t tag, uint32_t exposure, uint32_t x0, uint32_t y, uint32_t count,
                    int bits, uint8_t* dst);

// Geometry and settings of one delivered frame.
struct PatternFrame {
  uint32_t tag = 0;
  uint32_t exposure = 0;
  uint32_t x0 = 0;  // sensor column of the first pixel
  uint32_t y0 = 0;  // sensor row of the first row
  uint32_t width = 0;
  uint32_t height = 0;
  int bits = 8;
};

// Bytes of the frame's payload (rows without gaps, top row first).
uint64_t PatternFrameBytes(const PatternFrame& frame);

// Writes payload bytes [offset, offset + count) of the frame into dst. Bytes
// past the end of the frame are written as 0.
void CopyPatternBytes(const PatternFrame& frame, uint64_t offset, uint8_t* dst, uint64_t count);

}  // namespace vexcam::sim
