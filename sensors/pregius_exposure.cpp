#include "sensors/pregius_exposure.h"

#include <algorithm>
#include <limits>

namespace vexcam::pregius {

namespace {

// Truncates a non-negative double into 32 bits, saturating.
uint32_t Truncate(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<uint32_t>::max())) {
    return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(v);
}

constexpr uint8_t Byte(uint32_t v, uint32_t shift, uint32_t mask = 0xFF) {
  return static_cast<uint8_t>((v >> shift) & mask);
}

constexpr Step Verified(uint16_t address, uint8_t value) {
  return {.kind = Step::Kind::kVerified, .address = address, .value = value};
}
constexpr Step Plain(uint16_t address, uint8_t value) {
  return {.kind = Step::Kind::kPlain, .address = address, .value = value};
}

template <typename P>
void AddPause(P& plan, uint32_t ms) {
  if (ms > 0) plan.Add({.kind = Step::Kind::kPause, .ms = ms});
}

// A value in a low / high register pair.
template <typename P>
void AddPair(P& plan, uint16_t low, uint32_t value) {
  plan.Add(Plain(low, Byte(value, 0)));
  plan.Add(Plain(static_cast<uint16_t>(low + 1), Byte(value, 8)));
}

}  // namespace

ExposureTimeLines ExposureTimeToLines(uint32_t time, double lineTime, uint32_t linesMax) {
  const double exact = time / lineTime;
  if (exact > linesMax) return {linesMax, Truncate(linesMax * lineTime)};
  return {std::max<uint32_t>(Truncate(exact), 1), time};
}

ExposureTimeLimits ExposureTimeLimitsOf(uint32_t linesMin, uint32_t linesMax, double lineTime) {
  return {std::max<uint32_t>(Truncate(linesMin * lineTime), 1),
          std::max<uint32_t>(Truncate(linesMax * lineTime), 1)};
}

LinesPlan PlanExposureLines(uint32_t lines, uint32_t linesMax, uint32_t frameLength,
                            uint32_t previousLines, uint32_t currentTime) {
  LinesPlan plan;
  const uint32_t n = std::min(lines, linesMax);
  const uint32_t pause = currentTime / 10;
  const uint32_t v = frameLength;
  plan.lines = n;
  if (uint64_t{v} >= uint64_t{n} + kMinShutterMargin) {
    // The frame keeps its length; the shutter start sets the exposure.
    const uint32_t shutter = v - n;
    plan.Add(Verified(kRegFrameHigh, Byte(v, 16, 0x0F)));
    plan.Add(Verified(kRegFrameMid, Byte(v, 8)));
    plan.Add(Verified(kRegFrameLow, Byte(v, 0)));
    plan.Add(Verified(kRegShutterLow, Byte(shutter, 0)));
    plan.Add(Verified(kRegShutterMid, Byte(shutter, 8, 0x0F)));
    plan.Add(Verified(kRegShutterHigh, 0));
    return plan;
  }
  // The exposure outlasts the frame: the frame grows to the line count.
  if ((n & 0xF0000u) != 0) {
    plan.Add(Plain(kRegFrameHigh, Byte(n, 16, 0x0F)));
    AddPause(plan, pause);
    plan.Add(Plain(kRegFrameMid, Byte(n, 8)));
    AddPause(plan, pause);
    plan.Add(Plain(kRegFrameLow, Byte(n, 0)));
    AddPause(plan, pause);
  } else {
    // The order keeps the frame length from passing through a shorter value.
    if (Byte(n, 8) >= Byte(v, 8)) {
      plan.Add(Verified(kRegFrameHigh, 0));
      plan.Add(Verified(kRegFrameMid, Byte(n, 8)));
    } else {
      plan.Add(Verified(kRegFrameMid, Byte(n, 8)));
      AddPause(plan, pause);
      plan.Add(Verified(kRegFrameHigh, 0));
    }
    plan.Add(Verified(kRegFrameLow, Byte(n, 0)));
  }
  if (uint64_t{n} >= uint64_t{previousLines} + kMinShutterMargin) {
    plan.Add(Plain(kRegShutterLow, kMinShutterMargin));
    AddPause(plan, pause);
    plan.Add(Plain(kRegShutterMid, 0));
    AddPause(plan, pause);
    plan.Add(Plain(kRegShutterHigh, 0));
    AddPause(plan, pause);
  }
  return plan;
}

AreaPlan PlanCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height, uint32_t flag,
                         uint32_t arrayWidth, uint32_t arrayHeight, bool sixteenBit) {
  AreaPlan plan;
  const bool binned = flag == 1;
  const uint64_t ax = (uint64_t{x} + 3) & ~uint64_t{3};
  const uint64_t ay = (uint64_t{y} + 3) & ~uint64_t{3};
  const uint32_t aw = width & ~15u;
  const uint32_t ah = height & ~3u;
  if (aw == 0 || ah == 0 || ax + aw > arrayWidth || ay + ah > arrayHeight) return plan;
  plan.ok = true;
  plan.x = static_cast<uint32_t>(ax);
  plan.y = static_cast<uint32_t>(ay);
  plan.width = binned ? aw / 2 : aw;
  plan.height = binned ? ah / 2 : ah;
  plan.lineLength = LineLength(sixteenBit, binned);
  plan.frameLength = binned ? kBinnedFrameLength : ah + kFrameBlanking;

  const uint8_t crop = (aw != arrayWidth ? 1 : 0) | (ah != arrayHeight ? 2 : 0);
  plan.Add(Plain(kRegCrop, crop));
  // The sensor counts its window from the far corner of the array.
  AddPair(plan, kRegOffsetX, arrayWidth - aw - plan.x);
  AddPair(plan, kRegOffsetY, arrayHeight - ah - plan.y);
  AddPair(plan, kRegWidth, aw);
  AddPair(plan, kRegHeight, ah);
  plan.Add(Plain(kRegBinning, binned ? kBinningOn : 0));
  AddPair(plan, kRegLineLength, plan.lineLength);
  return plan;
}

}  // namespace vexcam::pregius
