#include "sensors/sensor_imx174.h"

#include <algorithm>
#include <array>

#include "sensors/fpga_register.h"
#include "sensors/sensor_constants.h"
#include "sensors/update_strobe.h"

namespace vexcam {

namespace {

// Sensor registers besides those of kSonyMap512.
constexpr uint16_t kRegBlackLow = 518;   // black level at 12 bits, bits 0-7
constexpr uint16_t kRegBlackHigh = 519;  // bits 8-11
constexpr uint16_t kRegReadout = 525;    // 0: all pixels
constexpr uint16_t kRegFrame = 528;      // frame length, 20 bits over 528..530
constexpr uint16_t kRegLineLow = 532;    // line length, low byte, high byte
constexpr uint16_t kRegShutter = 653;    // shutter start, 12 bits over 653..654; 655 = 0
constexpr uint16_t kRegCrop = 1280;      // bit 0 width cropped, bit 1 height cropped
constexpr uint16_t kRegOffsetX = 1296;   // from the far edge; low byte, high byte
constexpr uint16_t kRegOffsetY = 1298;
constexpr uint16_t kRegWidth = 1300;
constexpr uint16_t kRegHeight = 1302;
constexpr uint16_t kRegDepth = kSonyMap512.depth;
constexpr uint16_t kRegTrigger = kSonyMap512.trigger;

// Plain writes.
constexpr SonyControls kSerialControls = [] {
  SonyControls c = kSonyMap512;
  c.shutterMargin = 10;
  return c;
}();

constexpr uint16_t kBlackLevel = 240;  // 12-bit black level

constexpr SerialShutterTiming kIMX174Timing = {.blankingLines = 54, .sensorDepth = true};
constexpr SerialShutterTiming kIMX178Timing = {.blankingLines = 90, .sensorDepth = false};

uint16_t Byte(uint32_t value, uint32_t index) { return RegisterByte(value, index); }

}  // namespace

CSerialShutterSensor::CSerialShutterSensor(CControllerBase* controller, uint8_t busAddress,
                                           SensorDriver driver, const SerialShutterTiming& timing)
    : CSonySensor(controller, busAddress, driver, kSerialControls), timing_(timing) {}

uint32_t CSerialShutterSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  // The camera with an FPGA-packed data width keeps the sensor at 12 bits.
  const uint16_t depth = !timing_.sensorDepth || info_.bitsPerPixel == 16 ? 1 : 0;
  const uint16_t line = static_cast<uint16_t>(info_.lineLength);
  const std::array<ProgramStep, 7> program = {
      // Readout: all pixels, free run, the data width, the line period.
      WriteStep(kRegReadout, 0),
      WriteStep(kRegTrigger, 0),
      WriteStep(kRegDepth, depth),
      WriteStep(kRegLineLow, Byte(line, 0)),
      WriteStep(kRegLineLow + 1, Byte(line, 1)),
      // Black level, the same at either data width.
      WriteStep(kRegBlackLow, Byte(kBlackLevel, 0)),
      WriteStep(kRegBlackHigh, Byte(kBlackLevel, 1)),
  };
  if (EnterStandby() == 0 || RunProgram(program) == 0) return 0;
  // While the sensor settles out of standby the FPGA reports the bus busy
  // and the sensor does not answer.
  return StartWithDefaults();
}

uint32_t CSerialShutterSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y,
                                              uint32_t height, uint32_t areaFlag) {
  if (controller_ == nullptr) return 0;
  // Wide arithmetic so that aligning near the top of the range cannot wrap.
  const uint64_t ax = (uint64_t{x} + 3) & ~uint64_t{3};
  const uint64_t ay = (uint64_t{y} + 3) & ~uint64_t{3};
  const uint32_t aw = width & ~15u;
  const uint32_t ah = height & ~3u;
  if (aw == 0 || ah == 0 || ax + aw > info_.arrayWidth || ay + ah > info_.arrayHeight) return 0;
  const uint32_t offsetX = info_.arrayWidth - aw - static_cast<uint32_t>(ax);
  const uint32_t offsetY = info_.arrayHeight - ah - static_cast<uint32_t>(ay);
  const uint16_t crop = (aw != info_.arrayWidth ? 1 : 0) | (ah != info_.arrayHeight ? 2 : 0);
  // The sensor's window, counted from the far corner of the array.
  const std::array<ProgramStep, 9> program = {
      WriteStep(kRegCrop, crop),
      WriteStep(kRegOffsetX, Byte(offsetX, 0)),
      WriteStep(kRegOffsetX + 1, Byte(offsetX, 1)),
      WriteStep(kRegOffsetY, Byte(offsetY, 0)),
      WriteStep(kRegOffsetY + 1, Byte(offsetY, 1)),
      WriteStep(kRegWidth, Byte(aw, 0)),
      WriteStep(kRegWidth + 1, Byte(aw, 1)),
      WriteStep(kRegHeight, Byte(ah, 0)),
      WriteStep(kRegHeight + 1, Byte(ah, 1)),
  };
  if (RunProgram(program) == 0) return 0;
  return CommitWindow(static_cast<uint32_t>(ax), aw, static_cast<uint32_t>(ay), ah, areaFlag,
                      ah + timing_.blankingLines);
}

uint32_t CSerialShutterSensor::SetTriggerMode(uint32_t mode) {
  if (controller_ == nullptr) return 0;
  if (WriteSensorRegister(kRegTrigger, mode != 0 ? 1 : 0) == 0 ||
      PulseUpdateStrobe(controller_, model_number_) == 0) {
    return 0;
  }
  trigger_mode_ = mode;
  return 1;
}

uint32_t CSerialShutterSensor::SetExposureLines(uint32_t lines) {
  if (controller_ == nullptr) return 0;
  const RangeRecord& r = info_.exposureLines;
  const uint32_t n = std::clamp(lines, r.minimum, r.maximum);
  const auto [frame, shutter] = FrameOfLines(n);
  const std::array<ProgramStep, 6> program = {
      WriteStep(kRegFrame, Byte(frame, 0)),
      WriteStep(kRegFrame + 1, Byte(frame, 1)),
      WriteStep(kRegFrame + 2, Byte(frame, 2) & 0xF),
      WriteStep(kRegShutter, Byte(shutter, 0)),
      WriteStep(kRegShutter + 1, Byte(shutter, 1) & 0xF),
      WriteStep(kRegShutter + 2, 0),
  };
  if (RunProgram(program) == 0) return 0;
  info_.exposureLines.current = n;
  return 1;
}

uint32_t CSerialShutterSensor::SetExposureTime(uint32_t time) {
  const RangeRecord& r = info_.exposureTime;
  const uint32_t t = std::clamp(time, r.minimum, r.maximum);
  if (SetExposureLines(LinesOf(t)) == 0) return 0;
  info_.exposureTime.current = t;
  return 1;
}

CSensorIMX174::CSensorIMX174(CControllerBase* controller, uint8_t busAddress)
    : CSerialShutterSensor(controller, busAddress, SensorDriver::kIMX174, kIMX174Timing) {}

uint32_t CSensorIMX174::SetDataBits(uint32_t sixteenBit) {
  if (controller_ == nullptr) return 0;
  if (WriteSensorRegister(kRegDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  return ApplyDataBits(sixteenBit);
}

CSensorIMX178::CSensorIMX178(CControllerBase* controller, uint8_t busAddress)
    : CSerialShutterSensor(controller, busAddress, SensorDriver::kIMX178, kIMX178Timing) {}

}  // namespace vexcam
