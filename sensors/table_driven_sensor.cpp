#include "sensors/table_driven_sensor.h"

#include <algorithm>

namespace vexcam {

namespace {

uint32_t PutIfSupported(uint32_t* out, const RangeRecord& record) {
  return record.supported != 0 ? CSensorBase::Put(out, record.current) : 0;
}

uint32_t AtLeastOne(double t) {
  const auto v = static_cast<uint32_t>(t);
  return v == 0 ? 1 : v;
}

}  // namespace

CTableDrivenSensor::CTableDrivenSensor(CControllerBase* controller, uint8_t busAddress,
                                       SensorDriver driver)
    : CSensorBase(controller, busAddress, SensorConstantsOf(driver)),
      row_(SensorConstantsOf(driver)) {}

uint32_t CTableDrivenSensor::GetCaptureArea(uint32_t* x, uint32_t* width, uint32_t* y,
                                            uint32_t* height, uint32_t* areaFlag) {
  if (x == nullptr || width == nullptr || y == nullptr || height == nullptr ||
      areaFlag == nullptr) {
    return 0;
  }
  *x = info_.areaX;
  *width = info_.areaWidth;
  *y = info_.areaY;
  *height = info_.areaHeight;
  *areaFlag = info_.areaFlag;
  return 1;
}

// The current, Min, Max and Default getters of one range record.
#define VEXCAM_RANGE_GETTERS(Name, record)                                                         \
  uint32_t CTableDrivenSensor::Get##Name(uint32_t* out) { return Put(out, info_.record.current); } \
  uint32_t CTableDrivenSensor::Get##Name##Min(uint32_t* out) {                                     \
    return Put(out, info_.record.minimum);                                                         \
  }                                                                                                \
  uint32_t CTableDrivenSensor::Get##Name##Max(uint32_t* out) {                                     \
    return Put(out, info_.record.maximum);                                                         \
  }                                                                                                \
  uint32_t CTableDrivenSensor::Get##Name##Default(uint32_t* out) {                                 \
    return Put(out, info_.record.defaultValue);                                                    \
  }

VEXCAM_RANGE_GETTERS(ExposureLines, exposureLines)
VEXCAM_RANGE_GETTERS(GlobalGain, globalGain)

#undef VEXCAM_RANGE_GETTERS

uint32_t CTableDrivenSensor::GetColorGainRed(uint32_t* gain) {
  return PutIfSupported(gain, info_.colorGainRed);
}
uint32_t CTableDrivenSensor::GetColorGainGreen1(uint32_t* gain) {
  return PutIfSupported(gain, info_.colorGainGreen1);
}
uint32_t CTableDrivenSensor::GetColorGainGreen2(uint32_t* gain) {
  return PutIfSupported(gain, info_.colorGainGreen2);
}
uint32_t CTableDrivenSensor::GetColorGainBlue(uint32_t* gain) {
  return PutIfSupported(gain, info_.colorGainBlue);
}
// One record stands for the four channels' limits.
uint32_t CTableDrivenSensor::GetColorGainMin(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.minimum);
}
uint32_t CTableDrivenSensor::GetColorGainMax(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.maximum);
}
uint32_t CTableDrivenSensor::GetColorGainDefault(uint32_t* gain) {
  return Put(gain, info_.colorGainRed.defaultValue);
}

uint32_t CTableDrivenSensor::GetExposureTime(uint32_t* time) {
  return Put(time, info_.exposureTime.current);
}
uint32_t CTableDrivenSensor::GetExposureTimeMin(uint32_t* time) {
  return Put(time, AtLeastOne(info_.exposureLines.minimum * LineTime()));
}
uint32_t CTableDrivenSensor::GetExposureTimeMax(uint32_t* time) {
  return Put(time, AtLeastOne(info_.exposureLines.maximum * LineTime()));
}
uint32_t CTableDrivenSensor::GetExposureTimeDefault(uint32_t* time) {
  return Put(time, info_.exposureTime.defaultValue);
}

uint32_t CTableDrivenSensor::GetMirrorV(uint32_t* on) { return Put(on, info_.mirrorV.current); }
uint32_t CTableDrivenSensor::GetMirrorH(uint32_t* on) { return Put(on, info_.mirrorH.current); }

uint32_t CTableDrivenSensor::SetMirrorV(uint32_t on) {
  return ApplyMirrors(on, info_.mirrorH.current);
}
uint32_t CTableDrivenSensor::SetMirrorH(uint32_t on) {
  return ApplyMirrors(info_.mirrorV.current, on);
}

uint32_t CTableDrivenSensor::WriteSensorRegister(uint32_t address, uint32_t value) {
  return channel_ != nullptr ? channel_->Write(address, value) : 0;
}
uint32_t CTableDrivenSensor::ReadSensorRegister(uint32_t address, uint32_t* value) {
  return channel_ != nullptr ? channel_->Read(address, value) : 0;
}

double CTableDrivenSensor::LineTime() const {
  return static_cast<double>(info_.lineLength) * 10.0 / info_.pixelClockKhz;
}

uint32_t CTableDrivenSensor::RunProgram(std::span<const ProgramStep> program) {
  using Kind = ProgramStep::Kind;
  for (const ProgramStep& step : program) {
    switch (step.kind) {
      case Kind::kWrite:
        if (WriteSensorRegister(step.address, step.value) == 0) return 0;
        break;
      case Kind::kWaitMs:
        WaitMs(step.value);
        break;
      case Kind::kRead: {
        uint32_t ignored = 0;
        if (ReadSensorRegister(step.address, &ignored) == 0) return 0;
        break;
      }
      case Kind::kBlock:
        for (size_t i = 0; i < step.words.size(); ++i) {
          if (WriteSensorRegister(step.address + 2 * i, step.words[i]) == 0) return 0;
        }
        break;
      case Kind::kFill:
        for (uint32_t i = 0; i < step.count; ++i) {
          if (WriteSensorRegister(step.address + 2 * i, step.value) == 0) return 0;
        }
        break;
    }
  }
  return 1;
}

uint32_t CTableDrivenSensor::StoreCaptureArea(uint32_t x, uint32_t width, uint32_t y,
                                              uint32_t height, uint32_t areaFlag) {
  info_.areaX = x;
  info_.areaY = y;
  info_.areaWidth = width;
  info_.areaHeight = height;
  info_.areaFlag = areaFlag;
  return 1;
}

uint32_t CTableDrivenSensor::ReportModeFlags(uint32_t* mode) const {
  return Put(mode, mode_flags_);
}

uint32_t CTableDrivenSensor::AccessFrameLength(uint32_t operation, uint32_t* parameter,
                                               uint32_t limit, uint32_t windowFrame) {
  if (parameter == nullptr) return 0;
  if (operation == 1) {
    *parameter = info_.frameLength;
    return 1;
  }
  if (operation != 0 || *parameter > limit) return 0;
  const uint32_t previous = info_.frameLength;
  info_.frameLength = std::max(*parameter, windowFrame);
  if (SetExposureLines(info_.exposureLines.current) == 0) {
    info_.frameLength = previous;
    return 0;
  }
  return 1;
}

}  // namespace vexcam
