#include "sensors/sensor_base.h"

#include "platform/clock.h"
#include "sensors/fpga_register.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// Writes a value of a range record and answers whether the record is supported.
template <typename T, typename Record>
uint32_t PutSupported(T* out, T value, const Record& record) {
  return CSensorBase::Put(out, value) ? record.supported : 0;
}

}  // namespace

// Min, Max and Default getters of one range record.
#define VEXCAM_LIMIT_GETTERS(Name, record, T)                          \
  uint32_t CSensorBase::Get##Name##Min(T* out) {                       \
    return PutSupported(out, info_.record.minimum, info_.record);      \
  }                                                                    \
  uint32_t CSensorBase::Get##Name##Max(T* out) {                       \
    return PutSupported(out, info_.record.maximum, info_.record);      \
  }                                                                    \
  uint32_t CSensorBase::Get##Name##Default(T* out) {                   \
    return PutSupported(out, info_.record.defaultValue, info_.record); \
  }

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t busAddress)
    : controller_(controller), bus_address_(busAddress) {}

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t busAddress, const SensorConstants& c)
    : controller_(controller), bus_address_(busAddress) {
  info_.arrayWidth = c.arrayWidth;
  info_.arrayHeight = c.arrayHeight;
  info_.originX = c.originX;
  info_.originY = c.originY;
  info_.effectiveWidth = c.effectiveWidth;
  info_.effectiveHeight = c.effectiveHeight;
  info_.widthAdjustable = c.widthAdjustable;
  info_.heightAdjustable = c.heightAdjustable;
  info_.areaX = c.originX;
  info_.areaY = c.originY;
  info_.areaWidth = c.effectiveWidth;
  info_.areaHeight = c.effectiveHeight;
  info_.lineLength = c.lineLength;
  info_.frameLength = c.frameLength;
  info_.extraWord1 = c.extraWord1;
  info_.extraWord2 = c.extraWord2;
  info_.globalGain = c.globalGain;
  info_.exposureLines = c.exposureLines;
  info_.colorGainRed = c.colorGain;
  info_.colorGainGreen1 = c.colorGain;
  info_.colorGainGreen2 = c.colorGain;
  info_.colorGainBlue = c.colorGain;
  info_.exposureTime = c.exposureTime;
  info_.analogGain = c.analogGain;
  info_.gainMode = c.gainMode;
  info_.exposureSeconds = c.exposureSeconds;
  info_.mirrorV = c.mirrorV;
  info_.mirrorH = c.mirrorH;
  info_.bitsPerPixel = c.bitsPerPixel;
  info_.pixelClockKhz = c.pixelClockKhz;
  info_.orientation = c.orientation;
  model_number_ = c.modelNumber;
}

CSensorBase::~CSensorBase() = default;

uint32_t CSensorBase::SetModelId(uint32_t modelNumber) {
  model_number_ = modelNumber;
  return 1;
}

uint32_t CSensorBase::SetModeFlags(uint32_t flags) {
  mode_flags_ = flags;
  return 1;
}

uint32_t CSensorBase::GetModeFlags() { return mode_flags_; }

uint32_t CSensorBase::IsAnalogGainSupported() { return info_.analogGain.supported; }

uint32_t CSensorBase::GetAnalogGain(uint32_t* value) {
  return PutSupported(value, info_.analogGain.current, info_.analogGain);
}
VEXCAM_LIMIT_GETTERS(AnalogGain, analogGain, uint32_t)

uint32_t CSensorBase::IsGainModeSupported() { return info_.gainMode.supported; }

VEXCAM_LIMIT_GETTERS(GainMode, gainMode, uint32_t)
uint32_t CSensorBase::GetGainModeCurrent(uint32_t* value) {
  return PutSupported(value, info_.gainMode.current, info_.gainMode);
}

uint32_t CSensorBase::GetMirrorVDefault() { return info_.mirrorV.defaultValue; }
uint32_t CSensorBase::GetMirrorHDefault() { return info_.mirrorH.defaultValue; }
uint32_t CSensorBase::IsMirrorVSupported() { return info_.mirrorV.supported; }
uint32_t CSensorBase::IsMirrorHSupported() { return info_.mirrorH.supported; }

uint32_t CSensorBase::GetSensorInfo(SensorInfo* info) { return Put(info, info_); }

uint32_t CSensorBase::IsExposureTimeExSupported() { return info_.exposureSeconds.supported; }

VEXCAM_LIMIT_GETTERS(ExposureTimeEx, exposureSeconds, double)
uint32_t CSensorBase::GetExposureTimeEx(double* seconds) {
  return PutSupported(seconds, info_.exposureSeconds.current, info_.exposureSeconds);
}

#undef VEXCAM_LIMIT_GETTERS

// ---- Helpers for drivers. ----

void CSensorBase::WaitMs(uint32_t ms) {
  TimerResolution resolution(1);
  SleepMs(ms);
}

uint32_t CSensorBase::BusyWaitWrite(uint32_t address, uint32_t value) {
  return RetryWhileBusBusy(controller_, [&] { return WriteSensorRegister(address, value); });
}

uint32_t CSensorBase::BusyWaitRead(uint32_t address, uint32_t* value) {
  if (value == nullptr) return 0;
  return RetryWhileBusBusy(controller_, [&] { return ReadSensorRegister(address, value); });
}

uint32_t CSensorBase::ApplyDataBits(uint32_t sixteenBit) {
  const uint32_t previous = info_.bitsPerPixel;
  info_.bitsPerPixel = sixteenBit != 0 ? 16 : 8;
  if (SetCaptureArea(info_.areaX, info_.areaWidth, info_.areaY, info_.areaHeight, info_.areaFlag) ==
      0) {
    info_.bitsPerPixel = previous;
    return 0;
  }
  return 1;
}

uint16_t CSensorBase::FpgaVersion() {
  if (controller_ == nullptr) return 0;
  uint16_t version = fpga_version_.load();
  if (version == 0) {
    if (controller_->GetFpgaVersion(&version) == 0) version = 0;
    fpga_version_.store(version);
  }
  return version;
}

}  // namespace vexcam
