#include "sensors/mt9_family.h"

#include <algorithm>

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// Read-mode bits per window mode: bit 9 always, then clear / set masks (the
// set masks are the column and row skip steps).
constexpr uint32_t kReadModeAlways = 0x200;
constexpr uint32_t kReadModeClear[3] = {0xDBE, 0xD3C, 0xC38};
constexpr uint32_t kReadModeSet[3] = {0x41, 0xC3, 0x1C7};
// Alignment per mode: x, y and height step; width step.
constexpr uint32_t kPositionStep[3] = {2, 4, 8};
constexpr uint32_t kWidthStep[3] = {16, 32, 64};
constexpr uint32_t kSkipFactor[3] = {1, 2, 4};
constexpr uint32_t kMinWidth = 320;
constexpr uint32_t kMinHeight = 8;
constexpr uint16_t kGainFlags = 0x1100;
constexpr uint16_t kRestartStreaming = 0x10DE;  // streaming, restart the frame

// The window program: fixed writes and the values that follow from the area.
struct WindowValues {
  uint32_t xStart, xEnd, yStart, yEnd, outWidth, outHeight, lineLength, frameLength,
      fineIntegration;
};
struct WindowWrite {
  uint16_t address;
  uint32_t WindowValues::*field;  // null: the fixed value below
  uint16_t value = 0;
};
using F = CMt9FamilySensor;
constexpr WindowWrite kWindowProgram[] = {
    {F::kRegGroupHold, nullptr, 1},  // hold the new settings until all are written
    {F::kRegXStart, &WindowValues::xStart},
    {F::kRegXEnd, &WindowValues::xEnd},
    {F::kRegYStart, &WindowValues::yStart},
    {F::kRegYEnd, &WindowValues::yEnd},
    {0x0400, nullptr, 2},  // scaling mode and factor
    {0x0404, nullptr, 16},
    {F::kRegOutputWidth, &WindowValues::outWidth},
    {F::kRegOutputHeight, &WindowValues::outHeight},
    {F::kRegLineLength, &WindowValues::lineLength},
    {F::kRegFrameLength, &WindowValues::frameLength},
    {0x3010, nullptr, 0x0100},
    {F::kRegFineIntegration, &WindowValues::fineIntegration},
    {F::kRegResetControl, nullptr, kRestartStreaming},
    {F::kRegGroupHold, nullptr, 0},  // release
};

}  // namespace

CMt9FamilySensor::CMt9FamilySensor(CControllerBase* controller, uint8_t busAddress,
                                   SensorDriver driver, const Mt9WindowTiming& timing)
    : CTableDrivenSensor(controller, busAddress, driver),
      sensor_register_(controller, busAddress),
      read_mode_(sensor_register_, kRegReadMode, kInitialReadMode),
      timing_(timing) {
  UseChannel(sensor_register_);
}

uint32_t CMt9FamilySensor::CheckChipVersion(uint32_t expected) {
  uint32_t version = 0;
  ReadSensorRegister(kRegChipVersion, &version);  // a failed read leaves 0
  if (expected == 0) return version != 0 ? 1 : 0;
  return version == expected ? 1 : 0;
}

uint32_t CMt9FamilySensor::StartUp(std::span<const ProgramStep> list) {
  if (RunProgram(list) == 0) return 0;
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0) return 0;
  // Without a line length yet the window program below applies the exposure.
  if (info_.lineLength != 0 && SetExposureTime(info_.exposureTime.current) == 0) return 0;
  if (SetMirrorV(info_.mirrorV.defaultValue) == 0) return 0;
  if (SetMirrorH(info_.mirrorH.defaultValue) == 0) return 0;
  return SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                        info_.extraWord2);
}

uint32_t CMt9FamilySensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                          uint32_t mode) {
  const auto sx = static_cast<int32_t>(x);
  const auto sy = static_cast<int32_t>(y);
  if (sx < 0 || sy < 0 || width < kMinWidth || height < kMinHeight || mode > 2) return 0;
  if (static_cast<uint64_t>(x) + width > info_.arrayWidth ||
      static_cast<uint64_t>(y) + height > info_.arrayHeight) {
    return 0;
  }
  const uint32_t step = kPositionStep[mode];
  if (x % step != 0 || y % step != 0 || height % step != 0 || width % kWidthStep[mode] != 0) {
    return 0;
  }
  const uint32_t factor = kSkipFactor[mode];
  const uint32_t outWidth = (width + factor - 1) / factor;
  const uint32_t outHeight = (height + factor - 1) / factor;
  const uint32_t lineLength =
      std::max(outWidth + timing_.lineBlanking, timing_.minLineLength[mode]);
  const uint32_t frameLength = outHeight + timing_.frameBlanking;

  uint32_t readMode = 0;
  if (ReadSensorRegister(kRegReadMode, &readMode) == 0) return 0;
  readMode = ((readMode | kReadModeAlways) & ~kReadModeClear[mode]) | kReadModeSet[mode];

  const uint32_t xStart = x + timing_.columnStart;
  const uint32_t yStart = y + timing_.rowStart;
  const WindowValues values{.xStart = xStart,
                            .xEnd = xStart + width - 1,
                            .yStart = yStart,
                            .yEnd = yStart + height - 1,
                            .outWidth = outWidth,
                            .outHeight = outHeight,
                            .lineLength = lineLength,
                            .frameLength = frameLength,
                            .fineIntegration = timing_.fineIntegration};
  for (const WindowWrite& w : kWindowProgram) {
    if (WriteSensorRegister(w.address, w.field != nullptr ? values.*w.field : w.value) == 0) {
      WriteSensorRegister(kRegGroupHold, 0);  // do not leave the sensor holding
      return 0;
    }
  }
  if (read_mode_.Write(readMode) == 0) return 0;

  SetMirrorH(info_.mirrorH.current);
  StoreCaptureArea(xStart, outWidth, yStart, outHeight, mode);
  info_.lineLength = lineLength;
  info_.frameLength = frameLength;
  // The line time changed: keep the exposure time, not the line count.
  SetExposureTime(info_.exposureTime.current);
  return 1;
}

uint32_t CMt9FamilySensor::SetExposureLines(uint32_t lines) {
  // The register holds 16 bits; the record bounds what the sensor accepts.
  return WriteInsideRecord(sensor_register_, kRegCoarseIntegration, info_.exposureLines, lines);
}

uint32_t CMt9FamilySensor::SetGlobalGain(uint32_t gain) {
  // Only the low 7 bits reach the sensor; the argument is what is reported back.
  if (WriteSensorRegister(kRegGlobalGain, (gain & 127u) | kGainFlags) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CMt9FamilySensor::SetColorGain(RangeRecord& record, uint16_t reg, uint32_t gain) {
  if (WriteSensorRegister(reg, (gain & 127u) | kGainFlags) == 0) return 0;
  record.current = gain;
  return 1;
}

uint32_t CMt9FamilySensor::SetColorGainRed(uint32_t gain) {
  return SetColorGain(info_.colorGainRed, kRegGainRed, gain);
}
uint32_t CMt9FamilySensor::SetColorGainGreen1(uint32_t gain) {
  return SetColorGain(info_.colorGainGreen1, kRegGainGreen1, gain);
}
uint32_t CMt9FamilySensor::SetColorGainGreen2(uint32_t gain) {
  return SetColorGain(info_.colorGainGreen2, kRegGainGreen2, gain);
}
uint32_t CMt9FamilySensor::SetColorGainBlue(uint32_t gain) {
  return SetColorGain(info_.colorGainBlue, kRegGainBlue, gain);
}

uint32_t CMt9FamilySensor::SetExposureTime(uint32_t time) {
  // No line time yet (a sensor whose window sets the line length): nothing to convert with.
  if (time == 0 || info_.lineLength == 0 || info_.pixelClockKhz == 0) return 0;
  const double lineTime = LineTime();
  // Saturate before converting: a huge time must not wrap the line count.
  const double exact = time / lineTime;
  uint32_t lines = exact >= info_.exposureLines.maximum ? info_.exposureLines.maximum + 1
                                                        : static_cast<uint32_t>(exact);
  if (lines == 0) lines = 1;
  uint32_t stored = time;
  if (lines > info_.exposureLines.maximum) {
    lines = info_.exposureLines.maximum;
    stored = static_cast<uint32_t>(lines * lineTime);
  }
  if (SetExposureLines(lines) == 0) return 0;
  info_.exposureTime.current = stored;
  return 1;
}

uint32_t CMt9FamilySensor::ApplyMirrors(uint32_t v, uint32_t h) {
  info_.mirrorV.current = v;
  info_.mirrorH.current = h;
  return 1;
}

}  // namespace vexcam
