#include "sensors/sensor_ccd.h"

namespace vexcam {

namespace {

// FPGA registers of the CCD cameras.
constexpr uint8_t kRegMirror = 63;        // bit 0 horizontal, bit 1 vertical
constexpr uint8_t kRegExposureLow = 226;  // exposure counter, lines
constexpr uint8_t kRegExposureHigh = 227;
constexpr uint8_t kRegAnalogGainLow = 162;
constexpr uint8_t kRegAnalogGainHigh = 163;
constexpr uint8_t kMirrorHBit = 0x01;
constexpr uint8_t kMirrorVBit = 0x02;

// Timing-chip registers (low address bits; both chips have them).
constexpr uint32_t kChipGain = 0x0005;
constexpr uint32_t kChipAnalogGain = 0x0006;
// The chips take 10-bit gains.
constexpr uint32_t kChipGainMask = 0x3FF;

}  // namespace

CCcdSensor::CCcdSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                       const CcdModel& model)
    : CTableDrivenSensor(controller, busAddress, driver),
      model_(model),
      chips_(controller, TimingChipChannel::ReadBack::kShadow),
      front_end_(controller),
      exposure_counter_(controller, {kRegExposureLow, kRegExposureHigh}),
      analog_gain_(controller, {kRegAnalogGainLow, kRegAnalogGainHigh}),
      mirror_(controller, kRegMirror) {
  UseChannel(chips_);
}

uint32_t CCcdSensor::RunChipProgram(std::span<const ChipStep> program) {
  using Kind = ChipStep::Kind;
  for (const ChipStep& step : program) {
    switch (step.kind) {
      case Kind::kWord:
        if (WriteSensorRegister(step.address, step.value) == 0) return 0;
        break;
      case Kind::kBoth:
        if (WriteBothChips(step.address, step.value) == 0) return 0;
        break;
      case Kind::kWords:
        for (size_t i = 0; i < step.words.size(); ++i) {
          if (WriteSensorRegister(step.address + i, step.words[i]) == 0) return 0;
        }
        break;
      case Kind::kVectors: {
        // Every word of the table: the listed ones, the rest without timing.
        const VectorTable& table = *step.vectors;
        size_t next = 0;
        for (uint32_t i = 0; i < table.count; ++i) {
          uint32_t word = kNoTiming;
          if (next < table.words.size() && table.words[next].offset == i) {
            word = table.words[next++].word;
          }
          if (WriteSensorRegister(step.address + i, word) == 0) return 0;
        }
        break;
      }
      case Kind::kWaitMs:
        WaitMs(step.value);
        break;
      case Kind::kFpga:
        if (controller_->WriteFpgaRegister(static_cast<uint8_t>(step.address),
                                           static_cast<uint8_t>(step.value)) == 0) {
          return 0;
        }
        break;
      case Kind::kRun:
        if (RunChipProgram({step.steps, step.stepCount}) == 0) return 0;
        break;
    }
  }
  return 1;
}

uint32_t CCcdSensor::WriteBothChips(uint32_t address, uint32_t value) {
  if (WriteSensorRegister(address | TimingChipChannel::kChip1, value) == 0) return 0;
  return WriteSensorRegister(address, value);
}

uint32_t CCcdSensor::InitSensor() {
  if (controller_ == nullptr) return 0;
  if (RunChipProgram(model_.init) == 0) return 0;
  if (SetTriggerMode(0) == 0 || SetGlobalGain(info_.globalGain.defaultValue) == 0 ||
      SetExposureLines(info_.exposureLines.defaultValue) == 0 ||
      SetMirrorH(info_.mirrorH.defaultValue) == 0 || SetMirrorV(info_.mirrorV.defaultValue) == 0) {
    return 0;
  }
  return SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0);
}

uint32_t CCcdSensor::GetTriggerMode(uint32_t* mode) {
  if (mode != nullptr) *mode = mode_flags_;
  return 0;
}

uint32_t CCcdSensor::SetExposureLines(uint32_t lines) {
  const RangeRecord& r = info_.exposureLines;
  if (lines < r.minimum || lines > r.maximum) return 0;
  if (exposure_counter_.Write(lines) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CCcdSensor::SetGlobalGain(uint32_t gain) {
  const uint32_t g = gain & kChipGainMask;
  if (WriteBothChips(kChipGain, g) == 0) return 0;
  info_.globalGain.current = g;
  return 1;
}

uint32_t CCcdSensor::SetChannelGain(uint32_t channel, uint32_t value) {
  return front_end_.SetGain(channel, value);
}
uint32_t CCcdSensor::GetChannelGain(uint32_t channel, uint32_t* value) {
  return front_end_.GetGain(channel, value);
}
uint32_t CCcdSensor::GetChannelGainMin(uint32_t* value) {
  return Put(value, CcdFrontEnd::kGainRange.minimum);
}
uint32_t CCcdSensor::GetChannelGainMax(uint32_t* value) {
  return Put(value, CcdFrontEnd::kGainRange.maximum);
}
uint32_t CCcdSensor::GetChannelGainDefault(uint32_t* value) {
  return Put(value, CcdFrontEnd::kGainRange.defaultValue);
}
uint32_t CCcdSensor::SetChannelOffset(uint32_t channel, uint32_t value) {
  return front_end_.SetOffset(channel, value);
}
uint32_t CCcdSensor::GetChannelOffset(uint32_t channel, uint32_t* value) {
  return front_end_.GetOffset(channel, value);
}
uint32_t CCcdSensor::GetChannelOffsetMin(uint32_t* value) {
  return Put(value, CcdFrontEnd::kOffsetRange.minimum);
}
uint32_t CCcdSensor::GetChannelOffsetMax(uint32_t* value) {
  return Put(value, CcdFrontEnd::kOffsetRange.maximum);
}
uint32_t CCcdSensor::GetChannelOffsetDefault(uint32_t* value) {
  return Put(value, CcdFrontEnd::kOffsetRange.defaultValue);
}

uint32_t CCcdSensor::SetAnalogGain(uint32_t value) {
  if (analog_gain_.Write(value) == 0) return 0;
  const uint32_t a = value & kChipGainMask;
  if (WriteBothChips(kChipAnalogGain, a) == 0) return 0;
  info_.analogGain.current = a;
  return 1;
}

uint32_t CCcdSensor::GetAnalogGain(uint32_t* value) { return Put(value, info_.analogGain.current); }
uint32_t CCcdSensor::GetAnalogGainMin(uint32_t* value) {
  return Put(value, info_.analogGain.minimum);
}
uint32_t CCcdSensor::GetAnalogGainMax(uint32_t* value) {
  return Put(value, info_.analogGain.maximum);
}
uint32_t CCcdSensor::GetAnalogGainDefault(uint32_t* value) {
  return Put(value, info_.analogGain.defaultValue);
}

double CCcdSensor::LineTime() const { return model_.shutterClocks / info_.pixelClockKhz; }

uint32_t CCcdSensor::SetExposureTime(uint32_t time) {
  if (time == 0) return 0;
  const RangeRecord& r = info_.exposureLines;
  const double lineTime = LineTime();
  // Lines from the shutter pulse to the end of the frame: one more than the
  // longest count, less the exposure.
  const auto lines = static_cast<int64_t>(r.maximum + 1.0 - time / lineTime);
  uint32_t programmed = 0;
  uint32_t stored = time;
  if (lines < static_cast<int64_t>(r.minimum)) {
    programmed = r.minimum;  // longer than the frame allows
    stored = static_cast<uint32_t>(r.maximum * lineTime);
  } else if (lines > static_cast<int64_t>(r.maximum)) {
    programmed = r.maximum;  // shorter than one line
    stored = static_cast<uint32_t>(r.minimum * lineTime);
  } else {
    programmed = static_cast<uint32_t>(lines);
  }
  if (SetExposureLines(programmed) == 0) return 0;
  info_.exposureTime.current = stored;
  return 1;
}

uint32_t CCcdSensor::SetMirrorV(uint32_t on) {
  if (mirror_.UpdateBits(kMirrorVBit, on != 0) == 0) return 0;
  info_.mirrorV.current = on;
  return 1;
}

uint32_t CCcdSensor::SetMirrorH(uint32_t on) {
  if (mirror_.UpdateBits(kMirrorHBit, on != 0) == 0) return 0;
  info_.mirrorH.current = on;
  return 1;
}

}  // namespace vexcam
