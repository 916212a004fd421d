#pragma once
// What the stream reads fill: owned by the caller (one per transfer thread).

#include <cstdint>

namespace vexcam {

inline constexpr uint32_t kFrameHeaderBytes = 64;
// Fields of the frame header that the transport interprets (little-endian u32).
inline constexpr uint32_t kHeaderPayloadOffset = 16;
inline constexpr uint32_t kHeaderTagOffset = 32;

// Little-endian u32 of the frame header and the device information blocks.
inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct FrameDescriptor {
  uint8_t header[kFrameHeaderBytes] = {};  // as received from the camera
  uint32_t tag = 0;                        // copy of header bytes 32..35
  uint8_t* destination = nullptr;          // pixel data, owned by the caller
  uint32_t capacity = 0;                   // bytes available at destination
  uint32_t expectedSize = 0;               // whole-frame size for ReadFrameAlt
};

}  // namespace vexcam
