#include "sensors/sensor_mt9f001.h"

#include <algorithm>
#include <iterator>

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr uint16_t kSequencerBase = CSensorMT9F001::kSequencerBase;
constexpr uint32_t kSequencerWords = CSensorMT9F001::kSequencerWords;

// The sequencer program proper; the rest of its words is the no-op fill.
constexpr uint16_t kSequencerProgram[] = {
    0x0439, 0x47FF, 0x9CD5, 0xFFFF, 0x0818, 0x4A40, 0x0843, 0x8C20, 0x4A42, 0x08C3, 0x4E08, 0x4003,
    0x8D44, 0x1008, 0x0440, 0x8150, 0x0C41, 0x2008, 0x4A83, 0x8003, 0x4C0A, 0x0B86, 0x4001, 0x8C20,
    0x0083, 0x4E84, 0x0381, 0x4D0A, 0x0180, 0x4B81, 0x0A20, 0x8A04, 0x0C02, 0x4A80, 0x0804, 0x8C10,
    0x4B04, 0x0381, 0x4A10, 0x2408, 0x8300, 0x4C23, 0x0850, 0x7E04, 0x0300, 0x8109,
};
constexpr uint16_t kSequencerFill = 0x8179;
constexpr uint16_t kSequencerFillBase = kSequencerBase + 2 * std::size(kSequencerProgram);
constexpr uint16_t kSequencerFillWords = kSequencerWords - std::size(kSequencerProgram);

constexpr ProgramStep W(uint16_t address, uint16_t value) { return WriteStep(address, value); }

// Start-up list up to the settings that the driver applies itself.
constexpr ProgramStep kStartup[] = {
    // Reset, then streaming configuration.
    W(0x301A, 0x0001),
    WaitStep(100),
    W(0x301A, 0x10D0),
    W(0x0008, 0x0150),
    W(0x301A, 0x10D8),
    W(0x316C, 0xB468),
    W(0x3044, 0x0594),
    // Clock set-up.
    W(0x0300, 4),
    W(0x0302, 1),
    W(0x0304, 4),
    W(0x0306, 0x80),
    W(0x0308, 8),
    W(0x030A, 1),
    W(0x3064, 0x0805),
    W(0x0112, 0x0C0C),
    W(0x301A, 0x10DC),
    W(0x0103, 1),
    W(0x301A, 0x0010),
    // Analog tuning.
    W(0x31AE, 0x0301),
    W(0x3154, 0x2C00),
    W(0x3156, 0x4A80),
    W(0x30D4, 0xB400),
    W(0x3ED2, 0xAF60),
    W(0x3EE4, 0x630D),
    W(0x3EE8, 0x0046),
    // Sequencer program, its tail and the sequencer controls.
    BlockStep(kSequencerBase, kSequencerProgram),
    FillStep(kSequencerFillBase, kSequencerFill, kSequencerFillWords),
    W(0x3EC4, 0),
    W(0x3EC6, 0),
    W(0x3EC8, 0),
    W(0x3ECA, 0),
    W(0x3EDC, 0x52CF),
    W(0x3EDE, 0x2352),
    W(0x3EE0, 0xCC88),
    W(0x3EE2, 0xD163),
    W(0x301E, 0x00A8),
    W(0x0100, 0),
    W(0x306E, 0x9080),
    W(0x3176, 0),
    W(0x3178, 0),
    W(0x3178, 0),
    W(0x3016, 0x0101),
    W(0x3012, 0x0D66),
    W(0x0100, 0),
    // Per-channel data pedestal and digital gains.
    W(0x0206, 0x0010),
    W(0x0208, 0x0010),
    W(0x020A, 0x0010),
    W(0x020C, 0x0010),
    W(0x020E, 0x0100),
    W(0x0210, 0x0100),
    W(0x0212, 0x0100),
    W(0x0214, 0x0100),
    ReadStep(0x3026),
    W(0x3026, 0xFC7F),
    W(0x301A, 0x11DC),
    W(0x3070, 0),
};

// Read-mode bits per window mode: bit 9 always, then clear / set masks.
constexpr uint32_t kReadModeAlways = 0x200;
constexpr uint32_t kReadModeClear[3] = {0xDBE, 0xD3C, 0xC38};
constexpr uint32_t kReadModeSet[3] = {0x41, 0xC3, 0x1C7};
// Alignment per mode: x, y and height step; width step.
constexpr uint32_t kPositionStep[3] = {2, 4, 8};
constexpr uint32_t kWidthStep[3] = {16, 32, 64};
constexpr uint32_t kSkipFactor[3] = {1, 2, 4};
constexpr uint32_t kMinLineLength[3] = {2760, 1848, 1848};
constexpr uint32_t kLineBlanking = 312;   // pixel clocks added to each output line
constexpr uint32_t kFrameBlanking = 146;  // lines added to each output frame
constexpr uint32_t kMinWidth = 320;
constexpr uint32_t kMinHeight = 8;
constexpr uint16_t kGainFlags = 0x1100;
constexpr uint16_t kRegGroupHold = 0x0104;

// The window program: fixed writes and the values that follow from the area.
struct WindowValues {
  uint32_t xStart, xEnd, yStart, yEnd, outWidth, outHeight, lineLength, frameLength;
};
struct WindowWrite {
  uint16_t address;
  uint32_t WindowValues::*field;  // null: the fixed value below
  uint16_t value = 0;
};
constexpr WindowWrite kWindowProgram[] = {
    {kRegGroupHold, nullptr, 1},  // hold the new settings until all are written
    {0x0344, &WindowValues::xStart},
    {0x0348, &WindowValues::xEnd},
    {0x0346, &WindowValues::yStart},
    {0x034A, &WindowValues::yEnd},
    {0x0400, nullptr, 2},
    {0x0404, nullptr, 16},
    {0x034C, &WindowValues::outWidth},
    {0x034E, &WindowValues::outHeight},
    {0x0342, &WindowValues::lineLength},
    {0x0340, &WindowValues::frameLength},
    {0x3010, nullptr, 0x0100},
    {0x3014, nullptr, 0x056A},
    {0x301A, nullptr, 0x10DE},
    {kRegGroupHold, nullptr, 0},  // release
};

}  // namespace

uint16_t CSensorMT9F001::SequencerWord(uint32_t index) {
  if (index < std::size(kSequencerProgram)) return kSequencerProgram[index];
  return index < kSequencerWords ? kSequencerFill : 0;
}

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kMT9F001),
      sensor_register_(controller, busAddress) {}

uint32_t CSensorMT9F001::WriteSensorRegister(uint32_t address, uint32_t value) {
  return sensor_register_.Write(address, value);
}

uint32_t CSensorMT9F001::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return sensor_register_.Read(address, value);
}

uint32_t CSensorMT9F001::CheckSensor() {
  uint32_t version = 0;
  ReadSensorRegister(kRegChipVersion, &version);  // a failed read leaves 0
  return version != 0 ? 1 : 0;
}

uint32_t CSensorMT9F001::InitSensor() {
  // Stops at the first failure so that a dead bus fails the open.
  if (RunProgram(kStartup) == 0) return 0;
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0) return 0;
  if (SetExposureTime(info_.exposureTime.current) == 0) return 0;
  SetMirrorV(info_.mirrorV.defaultValue);
  SetMirrorH(info_.mirrorH.defaultValue);
  return SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                        info_.extraWord2);
}

uint32_t CSensorMT9F001::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
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
  const uint32_t lineLength = std::max(outWidth + kLineBlanking, kMinLineLength[mode]);
  const uint32_t frameLength = outHeight + kFrameBlanking;

  uint32_t readMode = 0;
  if (ReadSensorRegister(kRegReadMode, &readMode) == 0) return 0;
  readMode = ((readMode | kReadModeAlways) & ~kReadModeClear[mode]) | kReadModeSet[mode];

  const uint32_t xStart = x + kColumnStart;
  const WindowValues values{.xStart = xStart,
                            .xEnd = xStart + width - 1,
                            .yStart = y,
                            .yEnd = y + height - 1,
                            .outWidth = outWidth,
                            .outHeight = outHeight,
                            .lineLength = lineLength,
                            .frameLength = frameLength};
  for (const WindowWrite& w : kWindowProgram) {
    if (WriteSensorRegister(w.address, w.field != nullptr ? values.*w.field : w.value) == 0) {
      WriteSensorRegister(kRegGroupHold, 0);  // do not leave the sensor holding
      return 0;
    }
  }
  if (WriteSensorRegister(kRegReadMode, readMode) == 0) return 0;
  read_mode_ = readMode;

  SetMirrorH(info_.mirrorH.current);
  info_.areaX = xStart;
  info_.areaY = y;
  info_.areaWidth = outWidth;
  info_.areaHeight = outHeight;
  info_.areaFlag = mode;
  info_.lineLength = lineLength;
  info_.frameLength = frameLength;
  // The line time changed: keep the exposure time, not the line count.
  SetExposureTime(info_.exposureTime.current);
  return 1;
}

uint32_t CSensorMT9F001::SetExposureLines(uint32_t lines) {
  // The register holds 16 bits; the record bounds what the sensor accepts.
  if (lines < info_.exposureLines.minimum || lines > info_.exposureLines.maximum) return 0;
  if (WriteSensorRegister(kRegCoarseIntegration, lines) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CSensorMT9F001::SetGlobalGain(uint32_t gain) {
  // Only the low 7 bits reach the sensor; the argument is what is reported back.
  if (WriteSensorRegister(kRegGlobalGain, (gain & 127u) | kGainFlags) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CSensorMT9F001::SetColorGain(RangeRecord& record, uint16_t reg, uint32_t gain) {
  if (WriteSensorRegister(reg, (gain & 127u) | kGainFlags) == 0) return 0;
  record.current = gain;
  return 1;
}

uint32_t CSensorMT9F001::SetColorGainRed(uint32_t gain) {
  return SetColorGain(info_.colorGainRed, kRegGainRed, gain);
}
uint32_t CSensorMT9F001::SetColorGainGreen1(uint32_t gain) {
  return SetColorGain(info_.colorGainGreen1, kRegGainGreen1, gain);
}
uint32_t CSensorMT9F001::SetColorGainGreen2(uint32_t gain) {
  return SetColorGain(info_.colorGainGreen2, kRegGainGreen2, gain);
}
uint32_t CSensorMT9F001::SetColorGainBlue(uint32_t gain) {
  return SetColorGain(info_.colorGainBlue, kRegGainBlue, gain);
}

uint32_t CSensorMT9F001::SetExposureTime(uint32_t time) {
  if (time == 0) return 0;
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

uint32_t CSensorMT9F001::SetMirrorV(uint32_t on) {
  info_.mirrorV.current = on;
  return 1;
}
uint32_t CSensorMT9F001::SetMirrorH(uint32_t on) {
  info_.mirrorH.current = on;
  return 1;
}

}  // namespace vexcam
