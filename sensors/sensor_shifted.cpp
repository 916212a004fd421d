#include "sensors/sensor_shifted.h"

#include <algorithm>
#include <thread>

#include "sensors/seconds_exposure.h"

namespace vexcam {

namespace {
constexpr uint32_t kResetSettleMs = 50;
}  // namespace

CShiftedSensor::CShiftedSensor(CControllerBase* controller, uint8_t busAddress, SensorDriver driver,
                               bool splitAddress)
    : CRecordTimeSensor(controller, busAddress, driver),
      channel_(controller),
      split_address_(splitAddress) {}

uint32_t CShiftedSensor::InitSensor() {
  namespace r = shifted_reg;
  // Sequencer restart, then standby while the timing is loaded.
  if (channel_.Write(r::kReset, r::kResetKey) == 0) return 0;
  WaitMs(kResetSettleMs);
  if (channel_.Write(r::kStream, 0) == 0) return 0;
  const uint64_t timing = uint64_t{info_.frameLength} << 32 | uint64_t{info_.lineLength} << 16;
  if (channel_.Write(r::kTiming, timing) == 0) return 0;
  // The record's gain, exposure and the full array; then streaming.
  if (SetGlobalGain(info_.globalGain.current) == 0) return 0;
  if (SetExposureTimeEx(info_.exposureSeconds.current) == 0) return 0;
  if (SetCaptureArea(0, info_.arrayWidth, 0, info_.arrayHeight, 0) == 0) return 0;
  return channel_.Write(r::kStream, 1);
}

uint32_t CShiftedSensor::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                        uint32_t areaFlag) {
  if (!AcceptsWindow(Row(), x, y, width, height) || width == 0 || height == 0) return 0;
  if (WriteWindow(x, y, width, height) == 0) return 0;
  return StoreCaptureArea(x, width, y, height, areaFlag);
}

uint32_t CShiftedSensor::WriteWindow(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  namespace r = shifted_reg;
  constexpr uint32_t kOneWordLimit = 1u << 14;
  if (info_.arrayWidth < kOneWordLimit && info_.arrayHeight < kOneWordLimit)
    return channel_.Write(r::kWindow, ShiftedWindowWord(x, y, width, height));
  return channel_.Write(r::kWindowOrigin, ShiftedPairWord(x, y)) != 0 &&
                 channel_.Write(r::kWindowSize, ShiftedPairWord(width, height)) != 0
             ? 1
             : 0;
}

uint32_t CShiftedSensor::SetDataBits(uint32_t sixteenBit) {
  if (channel_.Write(shifted_reg::kDepth, sixteenBit != 0 ? 1 : 0) == 0) return 0;
  return ApplyDataBits(sixteenBit);
}

uint32_t CShiftedSensor::ProgramMicroseconds(uint64_t microseconds) {
  return channel_.Write(shifted_reg::kExposure, std::min<uint64_t>(microseconds, 0xFFFFFFFFu));
}

uint32_t CShiftedSensor::SetExposureLines(uint32_t lines) {
  lines = std::clamp(lines, info_.exposureLines.minimum, info_.exposureLines.maximum);
  // LineTime is in 0.1 ms: 100 us each.
  const auto us = static_cast<uint64_t>(lines * LineTime() * 100.0);
  if (ProgramMicroseconds(us) == 0) return 0;
  info_.exposureLines.current = lines;
  return 1;
}

uint32_t CShiftedSensor::SetGlobalGain(uint32_t gain) {
  gain = std::min(gain, info_.globalGain.maximum);
  if (channel_.Write(shifted_reg::kGain, gain) == 0) return 0;
  info_.globalGain.current = gain;
  return 1;
}

uint32_t CShiftedSensor::SetExposureTime(uint32_t time) {
  time = std::clamp(time, info_.exposureTime.minimum, info_.exposureTime.maximum);
  if (ProgramMicroseconds(uint64_t{time} * 100) == 0) return 0;
  info_.exposureTime.current = time;
  info_.exposureSeconds.current = time / 10000.0;
  return 1;
}

uint32_t CShiftedSensor::SetExposureTimeEx(double seconds) {
  return ApplySeconds(info_, seconds, [this](const SecondsExposure& e) {
    return ProgramMicroseconds(e.microseconds);
  });
}

uint32_t CShiftedSensor::WriteSensorRegister(uint32_t address, uint32_t value) {
  if (split_address_) return channel_.Write(SplitShiftedAddress(address, value));
  return channel_.Write(static_cast<uint8_t>(address), value);
}

uint32_t CShiftedTriggerSensor::SetTriggerMode(uint32_t mode) {
  if (Channel().Write(shifted_reg::kTrigger, mode) == 0) return 0;
  mode_flags_ = mode;
  return 1;
}

}  // namespace vexcam
