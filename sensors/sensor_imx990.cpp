#include "sensors/sensor_imx990.h"

#include <algorithm>
#include <iterator>

#include "platform/clock.h"
#include "sensors/fixed_point_temperature.h"
#include "sensors/fpga_register.h"
#include "sensors/seconds_exposure.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers.
constexpr uint16_t kRegStandby = 512;
constexpr uint16_t kRegBinning = 572;
constexpr uint16_t kRegFrameLow = 724;  // 725 bits 8-15, 726 bits 16-23
constexpr uint16_t kRegFrameMid = 725;
constexpr uint16_t kRegFrameHigh = 726;
constexpr uint16_t kRegLineLow = 728;
constexpr uint16_t kRegLineHigh = 729;
constexpr uint16_t kRegPartial = 772;
constexpr uint16_t kRegWindowX = 800;  // x, y, width, height: low byte, high byte
constexpr uint16_t kRegWindowY = 802;
constexpr uint16_t kRegWindowWidth = 804;
constexpr uint16_t kRegWindowHeight = 806;
constexpr uint16_t kRegMirror = 1028;
constexpr uint16_t kRegTriggerTiming = 1072;
constexpr uint16_t kRegShutter0 = 1088;  // 1089 bits 8-15, 1090 bits 16-23
constexpr uint16_t kRegShutter1 = 1089;
constexpr uint16_t kRegShutter2 = 1090;
constexpr uint16_t kRegTriggerSelect = 1536;
constexpr uint16_t kRegTemperatureLow = 1680;
constexpr uint16_t kRegTemperatureHigh = 1681;
constexpr uint16_t kRegGainLow = 1812;
constexpr uint16_t kRegGainHigh = 1813;
constexpr uint16_t kRegTemperatureLatch = 1928;

constexpr uint8_t kBinningOn = 17;
constexpr uint8_t kPartialOn = 2;
constexpr uint32_t kTriggerFreeRun = 17;
constexpr uint32_t kTriggerExternal = 19;

// FPGA registers.
constexpr uint8_t kFpgaTriggerLines0 = 80;  // 81, 82: lines + 9 + area height
constexpr uint8_t kFpgaTriggerLines1 = 81;
constexpr uint8_t kFpgaTriggerLines2 = 82;
constexpr uint8_t kFpgaTriggerDelayLow = 84;
constexpr uint8_t kFpgaTriggerDelayHigh = 85;
constexpr uint8_t kFpgaReadoutMirror = 76;
constexpr uint8_t kFpgaReadoutMirrorHigh = 77;
constexpr uint8_t kFpgaTrigger = 88;
constexpr uint8_t kFpgaTriggerOption = 89;
constexpr uint8_t kFpgaExposure0 = 133;
constexpr uint8_t kFpgaExposure1 = 134;
constexpr uint8_t kFpgaExposure2 = 155;
constexpr uint8_t kFpgaPeltier = 151;
constexpr uint8_t kFpgaFeatures = 23;
constexpr uint8_t kFpgaExtraOption = 24;
constexpr uint8_t kFpgaTemperatureLow = 229;
constexpr uint8_t kFpgaTemperatureHigh = 230;

constexpr uint8_t kTriggerDelayLow = 195;
constexpr uint8_t kTriggerDelayHigh = 2;
constexpr uint8_t kTriggerRun = 2;
constexpr uint32_t kTriggerExtraLines = 9;

// Readout order of FPGA 76 by mirror and binning.
constexpr uint8_t kReadoutMirrored = 104;
constexpr uint8_t kReadoutNormal = 8;
constexpr uint8_t kReadoutBinnedMirrored = 52;
constexpr uint8_t kReadoutBinnedNormal = 4;

constexpr uint16_t kVersionTriggerTiming = 0x0111;  // FPGA 89 and the trigger option
constexpr uint16_t kVersionNewOption = 0x0110;      // above: one option pattern only
constexpr uint16_t kVersionTriggerOption = 5;
constexpr uint16_t kVersionExtraOption = 294;
constexpr uint16_t kVersionOemBit = 0x8000;
constexpr uint16_t kVersionNoBinningBit = 0x4000;

constexpr uint32_t kSwitchPauseMs = 100;
constexpr uint32_t kConfirmAttempts = 10;
constexpr uint32_t kConfirmWaitMs = 5;
constexpr uint32_t kOptionPulseMs = 1;
constexpr uint32_t kTriggerSettleMs = 10;
constexpr int kTemperatureReads = 5;

// The sensor's frame counter runs on a slightly slower clock than the line
// timing the base frame is given in.
constexpr double kFrameScale = 1.30925e-5 / 1.29599e-5;
// Every register holding lines is 24 bits wide.
constexpr uint32_t kMaxFrameLines = 0xFFFFFF;

// Verified writes with the FPGA bus hold, each plain write 1 ms after the
// last; gain and mirrors are this group's own.
constexpr SonyControls kCooledControls = {
    .channel = {.writeDelayMs = 1, .hold = BusHold::kFpga159},
    .verified = true,
};

constexpr uint32_t kInitWrites[][2] = {{1794, 0}, {1984, 60}, {1985, 0}};

constexpr CooledAreaTiming kIMX990Timing = {
    .plainModel = 109,
    .cooledModel = 110,
    .fullBaseFrame = 1068,
    .binnedBaseFrame = 552,
    .partialExtraLines = 36,
    .partialYOffset = 4,
    .lineLength = 972,
    .lineTimeFullNs = 12959.94133284444,
    .lineTimeOtherNs = 12961.774681455678,
    .exposureOffsetNs = 7372.0,
    .frameTimeLineMs = 0.012961774681455677,
    .fpgaTemperatureVersion = 0x8024,
    .coolingReadModifyWrite = false,
    .triggerOption = true,
};

// The 640 x 512 member reads out the same line structure over half the
// rows; the full-window line time, the base frames and the line length are
// this driver's own choice (only the second line time is the camera's).
constexpr CooledAreaTiming kIMX991Timing = [] {
  CooledAreaTiming t = kIMX990Timing;
  t.plainModel = 111;
  t.cooledModel = 112;
  t.fullBaseFrame = 548;
  t.binnedBaseFrame = 296;
  t.lineTimeOtherNs = 6880.557337977816;
  t.frameTimeLineMs = 0.01295994133284444;
  t.fpgaTemperatureVersion = 0;  // always the sensor's own reading
  return t;
}();

// Plausible constants for the 2560 x 2048 member: a line 1.5 times as long
// as the 1280-wide sensor's, the same fixed exposure part and blanking.
constexpr CooledAreaTiming kIMX992Timing = [] {
  CooledAreaTiming t = kIMX990Timing;
  t.plainModel = 129;
  t.cooledModel = 130;
  t.fullBaseFrame = 2092;
  t.binnedBaseFrame = 1064;
  t.lineLength = 1458;
  t.lineTimeFullNs = 19439.91199926666;
  t.lineTimeOtherNs = 19442.66202218352;
  t.frameTimeLineMs = 0.01944266202218352;
  t.fpgaTemperatureVersion = 0x0105;
  t.coolingReadModifyWrite = true;
  t.triggerOption = false;
  return t;
}();

uint8_t Byte(uint32_t value, uint32_t index) { return static_cast<uint8_t>(value >> (8 * index)); }

}  // namespace

CCooledAreaSensor::CCooledAreaSensor(CControllerBase* controller, uint8_t busAddress,
                                     SensorDriver driver, const CooledAreaTiming& timing)
    : CSonySensor(controller, busAddress, driver, kCooledControls), timing_(timing) {}

uint32_t CCooledAreaSensor::SetModelId(uint32_t modelNumber) {
  if (modelNumber == timing_.plainModel) {
    info_.orientation = 4;
  } else if (modelNumber == timing_.cooledModel) {
    info_.orientation = 1;
  } else {
    return 0;  // not one of this camera's variants: ignored
  }
  model_number_ = modelNumber;
  return 1;
}

uint32_t CCooledAreaSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  for (const auto& [address, value] : kInitWrites) {
    if (WriteSensorRegisterVerified(address, value) == 0) return 0;
  }
  if (SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      SetMirrorH(info_.mirrorH.defaultValue) == 0 || SetMirrorV(info_.mirrorV.defaultValue) == 0 ||
      SetCaptureArea(info_.originX, info_.effectiveWidth, info_.originY, info_.effectiveHeight,
                     0) == 0) {
    return 0;
  }
  return SetExposureLines(info_.exposureLines.defaultValue);
}

uint32_t CCooledAreaSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                           uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  const uint32_t divisor = areaFlag == 1 ? 2 : 1;
  const bool partial = areaFlag == 0 && height != info_.effectiveHeight;

  // Wide unsigned arithmetic: rounding up near the top of the range must not
  // wrap to a small origin, and no sum may overflow. The window is checked
  // in sensor pixels against the array.
  const uint64_t wideX = (uint64_t{x} + 7) & ~uint64_t{7};
  const uint64_t wideY = (uint64_t{y} + 7) & ~uint64_t{7};
  const uint32_t aw = (width / divisor) & ~3u;
  const uint32_t ah = (height / divisor) & ~7u;
  if (aw == 0 || ah == 0 || wideX + uint64_t{aw} * divisor > info_.arrayWidth ||
      wideY + uint64_t{ah} * divisor > info_.arrayHeight) {
    return 0;
  }
  const auto ax = static_cast<uint32_t>(wideX);
  const auto ay = static_cast<uint32_t>(wideY);

  uint32_t baseFrame = timing_.fullBaseFrame;
  if (areaFlag == 1) {
    baseFrame = timing_.binnedBaseFrame;
  } else if (partial) {
    baseFrame = ah + timing_.partialExtraLines;
  }
  const uint32_t wy = partial ? ay + timing_.partialYOffset : ay;
  const auto frame = static_cast<uint32_t>(baseFrame * kFrameScale);

  const uint32_t writes[][2] = {
      {kRegBinning, areaFlag == 1 ? kBinningOn : 0u},
      {kRegPartial, partial ? kPartialOn : 0u},
      {kRegWindowX, Byte(ax, 0)},
      {kRegWindowX + 1u, Byte(ax, 1) & 7u},
      {kRegWindowY, Byte(wy, 0)},
      {kRegWindowY + 1u, Byte(wy, 1)},
      {kRegWindowWidth, Byte(aw, 0)},
      {kRegWindowWidth + 1u, Byte(aw, 1)},
      {kRegWindowHeight, Byte(ah, 0)},
      {kRegWindowHeight + 1u, Byte(ah, 1)},
      {kRegFrameLow, Byte(frame, 0)},
      {kRegFrameMid, Byte(frame, 1)},
      {kRegLineLow, Byte(timing_.lineLength, 0)},
      {kRegLineHigh, Byte(timing_.lineLength, 1)},
  };
  for (const auto& [address, value] : writes) {
    if (WriteSensorRegisterVerified(address, value) == 0) return 0;
  }
  info_.lineLength = timing_.lineLength;
  info_.frameLength = frame;
  // The requested origin is kept (not the row written in a partial frame),
  // so that re-applying the stored area programs the same window again.
  info_.areaX = ax;
  info_.areaY = ay;
  info_.areaWidth = aw;
  info_.areaHeight = ah;
  info_.areaFlag = areaFlag;
  return 1;
}

uint32_t CCooledAreaSensor::ConfirmedFpgaWrite(uint8_t reg, uint8_t value) {
  for (uint32_t i = 0; i < kConfirmAttempts; ++i) {
    if (controller_->WriteFpgaRegister(reg, value) != 0) {
      WaitMs(kConfirmWaitMs);
      uint8_t readBack = 0;
      if (controller_->ReadFpgaRegister(reg, &readBack) != 0 && readBack == value) return 1;
    }
    WaitMs(kConfirmWaitMs);
  }
  return 0;
}

uint32_t CCooledAreaSensor::ProgramTriggerTiming() {
  const uint32_t lines = info_.exposureLines.current;
  const uint32_t span = lines + kTriggerExtraLines + info_.areaHeight;
  const uint8_t writes[][2] = {
      {kFpgaTrigger, 0},
      {kFpgaExposure0, Byte(lines, 0)},
      {kFpgaExposure1, Byte(lines, 1)},
      {kFpgaExposure2, Byte(lines, 2)},
      {kFpgaTriggerDelayLow, kTriggerDelayLow},
      {kFpgaTriggerDelayHigh, kTriggerDelayHigh},
      {kFpgaTriggerLines0, Byte(span, 0)},
      {kFpgaTriggerLines1, Byte(span, 1)},
      {kFpgaTriggerLines2, Byte(span, 2)},
      {kFpgaTrigger, kTriggerRun},
  };
  for (const auto& [reg, value] : writes) {
    if (ConfirmedFpgaWrite(reg, value) == 0) return 0;
  }
  return 1;
}

uint32_t CCooledAreaSensor::SetTriggerMode(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  const bool external = mode == 1;
  const uint16_t version = FpgaVersion();
  const bool optionRegister = timing_.triggerOption && version >= kVersionTriggerTiming;
  if (external) {
    if (ProgramTriggerTiming() == 0) return 0;
  } else {
    if (ConfirmedFpgaWrite(kFpgaTrigger, 0) == 0) return 0;
    if (optionRegister && controller_->WriteFpgaRegister(kFpgaTriggerOption, 0) == 0) return 0;
  }
  const uint32_t sensorSteps[][2] = {
      {kRegStandby, 1},
      {kRegTriggerTiming, external ? kTriggerExternal : kTriggerFreeRun},
      {kRegTriggerSelect, external ? 1u : 0u},
      {kRegStandby, 0},
  };
  for (size_t i = 0; i < std::size(sensorSteps); ++i) {
    if (WriteSensorRegisterVerified(sensorSteps[i][0], sensorSteps[i][1]) == 0) return 0;
    if (i + 1 < std::size(sensorSteps)) WaitMs(kSwitchPauseMs);
  }
  if (external && optionRegister) {
    if (ApplyTriggerOption(0, 0) == 0) return 0;
    if (trigger_option_ <= 1 &&
        controller_->WriteFpgaRegister(kFpgaTriggerOption, trigger_option_ == 0 ? 0 : 4) == 0) {
      return 0;
    }
  }
  if (external) {
    if (PulseUpdateStrobe(controller_, model_number_) == 0) return 0;
    WaitMs(frame_time_ms_ + kTriggerSettleMs);
  }
  mode_flags_ = mode;
  return 1;
}

uint32_t CCooledAreaSensor::SetDataBits(uint32_t sixteenBit) {
  const uint32_t previous = info_.bitsPerPixel;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  // The stored area is the output size: back to sensor pixels for the program.
  const uint32_t divisor = Divisor();
  if (SetCaptureArea(info_.areaX, info_.areaWidth * divisor, info_.areaY,
                     info_.areaHeight * divisor, info_.areaFlag) == 0) {
    info_.bitsPerPixel = previous;
    return 0;
  }
  return SetExposureLines(info_.exposureLines.current);
}

uint32_t CCooledAreaSensor::WriteLines(uint32_t n) {
  const uint32_t pauseMs = std::max<uint32_t>(1, info_.exposureTime.current / 1000000);
  const auto write = [&](uint32_t address, uint32_t value) {
    if (WriteSensorRegisterVerified(address, value) == 0) return false;
    SleepMs(pauseMs);
    return true;
  };
  const uint32_t v = info_.frameLength;
  uint32_t frameLines = v;
  uint32_t shutter = 0;
  if (v >= kShutterMargin && v - kShutterMargin >= n) {
    shutter = v - n;
    if (!write(kRegFrameHigh, Byte(v, 2)) || !write(kRegFrameMid, Byte(v, 1)) ||
        !write(kRegFrameLow, Byte(v, 0)) || !write(kRegShutter0, Byte(shutter, 0)) ||
        !write(kRegShutter1, Byte(shutter, 1))) {
      return 0;
    }
  } else {
    // The exposure does not fit: the frame grows to hold it.
    frameLines = n + kShutterMargin;
    shutter = kShutterMargin;
    // Order the two upper bytes so the frame never passes through a length
    // shorter than both the old and the new one.
    const bool midFirst = Byte(frameLines, 2) == 0 && Byte(frameLines, 1) < Byte(v, 1);
    const bool upper =
        midFirst
            ? write(kRegFrameMid, Byte(frameLines, 1)) && write(kRegFrameHigh, 0)
            : write(kRegFrameHigh, Byte(frameLines, 2)) && write(kRegFrameMid, Byte(frameLines, 1));
    if (!upper || !write(kRegFrameLow, Byte(frameLines, 0)) ||
        !write(kRegShutter0, kShutterMargin) || !write(kRegShutter1, 0)) {
      return 0;
    }
  }
  if (!write(kRegShutter2, Byte(shutter, 2))) return 0;
  frame_time_ms_ = static_cast<uint32_t>(frameLines * timing_.frameTimeLineMs);
  return 1;
}

uint32_t CCooledAreaSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  // A frame lengthened for these lines must still fit the 24-bit registers.
  if (lines > kMaxFrameLines - kShutterMargin) return 0;
  TimerResolution resolution(1);
  if (WriteLines(lines) == 0) return 0;
  info_.exposureLines.current = lines;
  if (mode_flags_ == 1 && ProgramTriggerTiming() == 0) return 0;
  return 1;
}

double CCooledAreaSensor::LineTime() const {
  const double ns =
      info_.areaHeight == info_.effectiveHeight ? timing_.lineTimeFullNs : timing_.lineTimeOtherNs;
  return ns / 100000.0;
}

uint32_t CCooledAreaSensor::ApplyExposureNs(double durationNs) {
  const double ns =
      info_.areaHeight == info_.effectiveHeight ? timing_.lineTimeFullNs : timing_.lineTimeOtherNs;
  const double exact = (durationNs - timing_.exposureOffsetNs) / ns;
  const uint32_t lines = exact < 1.0 ? 1u : static_cast<uint32_t>(exact);
  return SetExposureLines(lines);
}

uint32_t CCooledAreaSensor::SetExposureTime(uint32_t time) {
  const RangeRecord& r = info_.exposureTime;
  const uint32_t t = std::clamp(time, r.minimum, r.maximum);
  if (ApplyExposureNs(t * 100000.0) == 0) return 0;
  info_.exposureTime.current = t;
  info_.exposureSeconds.current = t / 10000.0;
  return 1;
}

// The time record's own limits, not the ones converted from the lines.
uint32_t CCooledAreaSensor::GetExposureTimeMin(uint32_t* time) {
  return Put(time, info_.exposureTime.minimum);
}

uint32_t CCooledAreaSensor::GetExposureTimeMax(uint32_t* time) {
  return Put(time, info_.exposureTime.maximum);
}

uint32_t CCooledAreaSensor::SetExposureTimeEx(double seconds) {
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    return ApplyExposureNs(e.seconds * 1e9);
  });
}

uint32_t CCooledAreaSensor::SetGlobalGain(uint32_t gain) {
  const uint32_t g = std::min(gain, info_.globalGain.maximum);
  if (WriteSensorRegisterVerified(kRegGainLow, Byte(g, 0)) == 0 ||
      WriteSensorRegisterVerified(kRegGainHigh, (g >> 8) & 1u) == 0) {
    return 0;
  }
  info_.globalGain.current = g;
  return 1;
}

uint32_t CCooledAreaSensor::SetMirrorV(uint32_t on) {
  const uint32_t value = (on != 0 ? 1u : 0u) + (info_.mirrorH.current != 0 ? 2u : 0u);
  if (WriteSensorRegisterVerified(kRegMirror, value) == 0) return 0;
  info_.mirrorV.current = on;
  return 1;
}

uint32_t CCooledAreaSensor::SetMirrorH(uint32_t on) {
  const uint32_t value = (on != 0 ? 2u : 0u) + (info_.mirrorV.current != 0 ? 1u : 0u);
  if (WriteSensorRegisterVerified(kRegMirror, value) == 0) return 0;
  info_.mirrorH.current = on;
  const bool binned = info_.areaFlag == 1;
  const uint8_t readout = on != 0 ? (binned ? kReadoutBinnedMirrored : kReadoutMirrored)
                                  : (binned ? kReadoutBinnedNormal : kReadoutNormal);
  if (controller_->WriteFpgaRegister(kFpgaReadoutMirror, readout) == 0 ||
      controller_->WriteFpgaRegister(kFpgaReadoutMirrorHigh, 0) == 0) {
    return 0;
  }
  return 1;
}

uint32_t CCooledAreaSensor::IsPeltierSupported() {
  return model_number_ == timing_.cooledModel ? 1 : 0;
}

uint32_t CCooledAreaSensor::GetPeltier() {
  if (IsPeltierSupported() == 0) return 0;
  uint32_t value = 0;
  if (FpgaRegister(controller_, kFpgaPeltier).Read(&value) == 0) return 0;
  return value & 1u;
}

uint32_t CCooledAreaSensor::SetPeltier(uint32_t on) {
  if (IsPeltierSupported() == 0) return 0;
  const FpgaRegister peltier(controller_, kFpgaPeltier);
  if (timing_.coolingReadModifyWrite) return peltier.UpdateBits(1u, on >= 1);
  return peltier.Write(on >= 1 ? 1 : 0);
}

uint32_t CCooledAreaSensor::ReadTemperatureRaw(uint32_t* raw) {
  if (timing_.fpgaTemperatureVersion != 0 && FpgaVersion() >= timing_.fpgaTemperatureVersion) {
    const FpgaRegisters<2> reading(controller_, {kFpgaTemperatureLow, kFpgaTemperatureHigh});
    uint32_t value = 0;
    for (int i = 0; i < kTemperatureReads; ++i) {
      if (reading.Read(&value) == 0) return 0;
      value &= 0xFFF;
      if (value != 0) break;
    }
    *raw = value;
    return 1;
  }
  // The sensor latches a reading while bit 0 of its latch register is set.
  uint32_t latch = 0;
  if (ReadSensorRegisterRetry(kRegTemperatureLatch, &latch) == 0 ||
      WriteSensorRegisterVerified(kRegTemperatureLatch, latch | 1u) == 0) {
    return 0;
  }
  uint32_t low = 0;
  uint32_t high = 0;
  const bool read = ReadSensorRegisterRetry(kRegTemperatureLow, &low) != 0 &&
                    ReadSensorRegisterRetry(kRegTemperatureHigh, &high) != 0;
  const bool released = WriteSensorRegisterVerified(kRegTemperatureLatch, latch & ~1u) != 0;
  if (!read || !released) return 0;
  *raw = ((high & 0xF) << 8) | (low & 0xFF);
  return 1;
}

uint32_t CCooledAreaSensor::GetTemperature(double* celsius) {
  if (controller_ == nullptr) return 0;
  uint32_t raw = 0;
  if (ReadTemperatureRaw(&raw) == 0 || celsius == nullptr) return 0;
  *celsius = Fixed93ToCelsius(raw);
  return 1;
}

uint32_t CCooledAreaSensor::SetTriggerOption(uint32_t value) {
  if (!timing_.triggerOption) return 0;
  trigger_option_ = value;
  return 1;
}

uint32_t CCooledAreaSensor::ApplyTriggerOption(uint32_t /*a*/, uint32_t /*b*/) {
  if (!timing_.triggerOption || controller_ == nullptr) return 0;
  const bool pattern = FpgaVersion() > kVersionNewOption || trigger_option_ != 0;
  const uint8_t values[3] = {static_cast<uint8_t>(pattern ? 4 : 0),
                             static_cast<uint8_t>(pattern ? 132 : 128),
                             static_cast<uint8_t>(pattern ? 4 : 0)};
  for (size_t i = 0; i < std::size(values); ++i) {
    if (i != 0) WaitMs(kOptionPulseMs);
    if (controller_->WriteFpgaRegister(kFpgaTriggerOption, values[i]) == 0) return 0;
  }
  return 1;
}

uint32_t CCooledAreaSensor::HasTriggerOption() {
  if (!timing_.triggerOption) return CTableDrivenSensor::HasTriggerOption();
  return FpgaVersion() >= kVersionTriggerOption ? 1 : 0;
}

uint32_t CCooledAreaSensor::GetFirmwareFlag() {
  if (!timing_.triggerOption) return CTableDrivenSensor::GetFirmwareFlag();
  return (FpgaVersion() & kVersionOemBit) != 0 ? 1 : 0;
}

uint32_t CCooledAreaSensor::IsColorModeSupported() {
  if (!timing_.triggerOption) return CTableDrivenSensor::IsColorModeSupported();
  return (FpgaVersion() & kVersionOemBit) == 0 ? 1 : 0;
}

uint32_t CCooledAreaSensor::IsBinningSupported() {
  if (!timing_.triggerOption) return CTableDrivenSensor::IsBinningSupported();
  return (FpgaVersion() & kVersionNoBinningBit) == 0 ? 1 : 0;
}

uint8_t CCooledAreaSensor::FpgaRegister23() {
  if (fpga23_ == 0 && controller_ != nullptr) {
    uint8_t value = 0;
    if (controller_->ReadFpgaRegister(kFpgaFeatures, &value) != 0) fpga23_ = value;
  }
  return fpga23_;
}

uint32_t CCooledAreaSensor::HasExtraOption() {
  if (!timing_.triggerOption) return CTableDrivenSensor::HasExtraOption();
  const uint16_t version = FpgaVersion();
  return (version & kVersionOemBit) == 0 && (FpgaRegister23() & 1u) == 0 &&
                 (version & 0xFFF) >= kVersionExtraOption
             ? 1
             : 0;
}

uint32_t CCooledAreaSensor::EnableExtraOption() {
  if (!timing_.triggerOption) return CTableDrivenSensor::EnableExtraOption();
  return FpgaRegister(controller_, kFpgaExtraOption).UpdateBits(1u, true);
}

CSensorIMX990::CSensorIMX990(CControllerBase* controller, uint8_t busAddress)
    : CCooledAreaSensor(controller, busAddress, SensorDriver::kIMX990, kIMX990Timing) {}

CSensorIMX991::CSensorIMX991(CControllerBase* controller, uint8_t busAddress)
    : CCooledAreaSensor(controller, busAddress, SensorDriver::kIMX991, kIMX991Timing) {}

CSensorIMX992::CSensorIMX992(CControllerBase* controller, uint8_t busAddress)
    : CCooledAreaSensor(controller, busAddress, SensorDriver::kIMX992, kIMX992Timing) {}

}  // namespace vexcam
