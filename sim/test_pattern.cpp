#include "sim/test_pattern.h"

#include <algorithm>
#include <cstring>

namespace vexcam::sim {
namespace {

uint32_t Gain(uint32_t exposure) { return 1 + std::min<uint32_t>(exposure, 1920) / 128; }

// Row start of the ramp; 7, 13 and 29 are odd so no small shift maps the
// pattern onto itself.
uint32_t RowBase(uint32_t tag, uint32_t y) { return 13u * y + 29u * tag; }

template <bool kWide>
void FillRow(uint32_t gain, uint32_t base, uint32_t x0, uint32_t y, uint32_t count, uint8_t* dst) {
  // Phase bits of the two columns of a Bayer pair in this row:
  //   even row: R  Gr     odd row: Gb  B
  const uint32_t rowPhase = (y & 1u) << 11;
  uint32_t acc = 7u * x0 + base;
  uint32_t x = x0;
  auto sample = [&](uint32_t col) {
    const uint32_t scene = rowPhase | ((col & 1u) << 10) | (acc & 1023u);
    acc += 7u;
    return (scene * gain) >> 4;
  };
  uint32_t i = 0;
  for (; i < count; ++i, ++x) {
    const uint32_t v12 = sample(x);
    if constexpr (kWide) {
      const uint32_t v16 = (v12 << 4) | (v12 >> 8);
      dst[2 * i] = static_cast<uint8_t>(v16);
      dst[2 * i + 1] = static_cast<uint8_t>(v16 >> 8);
    } else {
      dst[i] = static_cast<uint8_t>(v12 >> 4);
    }
  }
}

}  // namespace

uint16_t PatternSample(uint32_t tag, uint32_t exposure, uint32_t x, uint32_t y, int bits) {
  const uint32_t phase = ((y & 1u) << 1) | (x & 1u);
  const uint32_t ramp = (7u * x + 13u * y + 29u * tag) & 1023u;
  const uint32_t v12 = ((phase * 1024u + ramp) * Gain(exposure)) / 16u;
  if (bits > 8) return static_cast<uint16_t>((v12 << 4) | (v12 >> 8));
  return static_cast<uint16_t>(v12 >> 4);
}

void FillPatternRow(uint32_t tag, uint32_t exposure, uint32_t x0, uint32_t y, uint32_t count,
                    int bits, uint8_t* dst) {
  if (bits > 8)
    FillRow<true>(Gain(exposure), RowBase(tag, y), x0, y, count, dst);
  else
    FillRow<false>(Gain(exposure), RowBase(tag, y), x0, y, count, dst);
}

uint64_t PatternFrameBytes(const PatternFrame& frame) {
  return uint64_t{frame.width} * frame.height * (frame.bits > 8 ? 2u : 1u);
}

void CopyPatternBytes(const PatternFrame& frame, uint64_t offset, uint8_t* dst, uint64_t count) {
  const uint64_t total = PatternFrameBytes(frame);
  const uint32_t bpp = frame.bits > 8 ? 2u : 1u;
  const uint64_t rowBytes = uint64_t{frame.width} * bpp;
  while (count > 0 && offset < total) {
    const uint32_t row = static_cast<uint32_t>(offset / rowBytes);
    const uint64_t inRow = offset % rowBytes;
    const uint32_t y = frame.y0 + row;
    if (inRow % bpp != 0) {
      // Second byte of a 16-bit sample split between two reads.
      const uint16_t v = PatternSample(
          frame.tag, frame.exposure, frame.x0 + static_cast<uint32_t>(inRow / bpp), y, frame.bits);
      *dst++ = static_cast<uint8_t>(v >> 8);
      ++offset;
      --count;
      continue;
    }
    const uint64_t pixels = std::min<uint64_t>((rowBytes - inRow) / bpp, count / bpp);
    if (pixels == 0) {
      // Only the first byte of a 16-bit sample fits.
      const uint16_t v = PatternSample(
          frame.tag, frame.exposure, frame.x0 + static_cast<uint32_t>(inRow / bpp), y, frame.bits);
      *dst++ = static_cast<uint8_t>(v);
      ++offset;
      --count;
      continue;
    }
    FillPatternRow(frame.tag, frame.exposure, frame.x0 + static_cast<uint32_t>(inRow / bpp), y,
                   static_cast<uint32_t>(pixels), frame.bits, dst);
    dst += pixels * bpp;
    offset += pixels * bpp;
    count -= pixels * bpp;
  }
  if (count > 0) std::memset(dst, 0, count);
}

}  // namespace vexcam::sim
