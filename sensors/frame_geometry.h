#pragma once
// Frame sizes that follow from a driver's capture area and the transfer width.

#include <cstdint>

namespace vexcam {

// Bytes per transferred pixel: 2 for data-bits modes 1 and 2, else 1.
constexpr uint32_t BytesPerPixelOfMode(uint32_t dataBitsMode) {
  return (dataBitsMode == 1 || dataBitsMode == 2) ? 2u : 1u;
}

// Frame size S = width x height x bytes per pixel (64-bit: a large area at
// 16 bits must not wrap).
constexpr uint64_t FrameSizeBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
  return static_cast<uint64_t>(width) * height * bytesPerPixel;
}

// Staging / ring buffer capacity Q: the frame with 128 spare columns and rows,
// rounded up to whole 8 KiB blocks.
constexpr uint64_t FrameCapacityBytes(uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
  const uint64_t raw =
      (static_cast<uint64_t>(height) + 128) * (static_cast<uint64_t>(width) + 128) * bytesPerPixel;
  return (raw + 8191) / 8192 * 8192;
}

}  // namespace vexcam
