#pragma once
// Exposure and window arithmetic of the global-shutter sensors whose frame
// length (registers 528..530) and shutter (653..655) set the exposure: the
// line time, exposure time to lines, the ordered register writes of a new
// line count, and the window registers of a capture area. Pure functions; a
// driver executes the plans through its own register channel.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexcam::pregius {

inline constexpr uint32_t kLineLength = 582;       // 8 bits per pixel, or 2 x 2 mode
inline constexpr uint32_t kLineLengthWide = 1164;  // 16 bits per pixel
inline constexpr uint32_t kBinnedFrameLength = 1066;
inline constexpr uint32_t kFrameBlanking = 46;  // lines added to the window height
inline constexpr uint32_t kMinShutterMargin = 10;

// Sensor registers.
inline constexpr uint16_t kRegFrameLow = 528;    // frame length bits 0-7
inline constexpr uint16_t kRegFrameMid = 529;    // bits 8-15
inline constexpr uint16_t kRegFrameHigh = 530;   // bits 16-19
inline constexpr uint16_t kRegShutterLow = 653;  // shutter bits 0-7
inline constexpr uint16_t kRegShutterMid = 654;  // bits 8-11
inline constexpr uint16_t kRegShutterHigh = 655;
inline constexpr uint16_t kRegBinning = 525;
inline constexpr uint16_t kRegCrop = 1280;     // bit 0 width cropped, bit 1 height cropped
inline constexpr uint16_t kRegOffsetX = 1296;  // low byte; high byte at + 1
inline constexpr uint16_t kRegOffsetY = 1298;
inline constexpr uint16_t kRegWidth = 1300;
inline constexpr uint16_t kRegHeight = 1302;
inline constexpr uint16_t kRegLineLength = 532;
inline constexpr uint8_t kBinningOn = 17;

// Pixel clocks per line for the data width and mode.
constexpr uint32_t LineLength(bool sixteenBit, bool binned) {
  return !binned && sixteenBit ? kLineLengthWide : kLineLength;
}

// Line time in units of 0.1 ms (the line length over 75.25 MHz).
constexpr double LineTime(uint32_t lineLength) { return lineLength * 0.013289036544850499 / 100.0; }

struct ExposureTimeLines {
  uint32_t lines = 0;  // at least 1, at most the maximum
  uint32_t time = 0;   // the time to store: requested, or the clamped one
};
// time (0.1 ms) to lines; a time beyond linesMax lines stores the time of
// linesMax lines.
ExposureTimeLines ExposureTimeToLines(uint32_t time, double lineTime, uint32_t linesMax);

struct ExposureTimeLimits {
  uint32_t minimum = 1;
  uint32_t maximum = 1;
};
// The exposure-time range (0.1 ms) of the lines range, both at least 1.
ExposureTimeLimits ExposureTimeLimitsOf(uint32_t linesMin, uint32_t linesMax, double lineTime);

// One step of a register plan.
struct Step {
  enum class Kind : uint8_t {
    kVerified,  // WriteSensorRegisterVerified (address, value)
    kPlain,     // WriteSensorRegister (address, value)
    kPause,     // wait ms
  };
  Kind kind = Kind::kPlain;
  uint16_t address = 0;
  uint8_t value = 0;
  uint32_t ms = 0;
  bool operator==(const Step&) const = default;
};

template <size_t Capacity>
struct Plan {
  std::array<Step, Capacity> steps{};
  size_t count = 0;
  std::span<const Step> Steps() const { return {steps.data(), count}; }
  void Add(const Step& s) {
    if (count < Capacity) steps[count++] = s;
  }
};

struct LinesPlan : Plan<12> {
  uint32_t lines = 0;  // the line count to store once every step succeeded
};

// The writes of SetExposureLines(lines): lines is limited to linesMax;
// frameLength is the current frame length, previousLines the current line
// count and currentTime the current exposure time (0.1 ms), whose tenth is
// the pause in milliseconds. Pauses of 0 ms are left out.
LinesPlan PlanExposureLines(uint32_t lines, uint32_t linesMax, uint32_t frameLength,
                            uint32_t previousLines, uint32_t currentTime);

struct AreaPlan : Plan<12> {
  bool ok = false;  // false: the area does not fit the array (nothing to write)
  // Values to store: the aligned origin, the image size (halved in the
  // 2 x 2 mode), line length and frame length.
  uint32_t x = 0, y = 0, width = 0, height = 0;
  uint32_t lineLength = 0, frameLength = 0;
};

// SetCaptureArea: x and y aligned up to multiples of 4, the width down to a
// multiple of 16, the height down to a multiple of 4; flag 1 is the 2 x 2
// mode. The window registers hold the sensor's own window (full resolution);
// the steps are plain writes.
AreaPlan PlanCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height, uint32_t flag,
                         uint32_t arrayWidth, uint32_t arrayHeight, bool sixteenBit);

// Runs the steps in order through the driver's writes and wait; stops with 0
// at the first failed write.
template <typename Verified, typename Plain, typename Pause>
uint32_t RunPlan(std::span<const Step> steps, Verified&& verified, Plain&& plain, Pause&& pause) {
  for (const Step& s : steps) {
    switch (s.kind) {
      case Step::Kind::kVerified:
        if (verified(s.address, s.value) == 0) return 0;
        break;
      case Step::Kind::kPlain:
        if (plain(s.address, s.value) == 0) return 0;
        break;
      case Step::Kind::kPause:
        pause(s.ms);
        break;
    }
  }
  return 1;
}

}  // namespace vexcam::pregius
