// The operations of the camera device model that forward to the sensor
// driver unchanged, under the driver lock.
#include "camera/vex_cam_u3k9_base.h"

namespace vexcam {

// ---------------------------------------------------------------- forwarders

uint32_t CVexCamU3K9Base::Get(uint32_t (CSensorBase::*op)(uint32_t*), uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

uint32_t CVexCamU3K9Base::GetChannel(uint32_t (CSensorBase::*op)(uint32_t, uint32_t*),
                                     uint32_t channel, uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(channel, &value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

double CVexCamU3K9Base::GetSeconds(uint32_t (CSensorBase::*op)(double*), uint32_t* ok) {
  double value = 0.0;
  std::lock_guard<std::recursive_mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0.0;
}

uint32_t CVexCamU3K9Base::Info(uint32_t SensorInfo::*field) {
  SensorInfo info;
  if (!GetSensorInfo(&info)) return 0;
  return info.*field;
}

#define VEXCAM_FORWARD(call)                                      \
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_); \
  if (!sensor_) return 0;                                         \
  return sensor_->call

uint32_t CVexCamU3K9Base::GetSamplingRate(uint32_t* ok) {
  return Get(&CSensorBase::GetSamplingRate, ok);
}
uint32_t CVexCamU3K9Base::SetMirrorH(uint32_t on) { VEXCAM_FORWARD(SetMirrorH(on)); }
uint32_t CVexCamU3K9Base::SetMirrorV(uint32_t on) { VEXCAM_FORWARD(SetMirrorV(on)); }
uint32_t CVexCamU3K9Base::GetMirrorH(uint32_t* ok) { return Get(&CSensorBase::GetMirrorH, ok); }
uint32_t CVexCamU3K9Base::GetMirrorV(uint32_t* ok) { return Get(&CSensorBase::GetMirrorV, ok); }
uint32_t CVexCamU3K9Base::GetMirrorVDefault() { VEXCAM_FORWARD(GetMirrorVDefault()); }
uint32_t CVexCamU3K9Base::GetMirrorHDefault() { VEXCAM_FORWARD(GetMirrorHDefault()); }
uint32_t CVexCamU3K9Base::IsMirrorVSupported() { VEXCAM_FORWARD(IsMirrorVSupported()); }
uint32_t CVexCamU3K9Base::IsMirrorHSupported() { VEXCAM_FORWARD(IsMirrorHSupported()); }
uint32_t CVexCamU3K9Base::GetTriggerMode(uint32_t* ok) {
  return Get(&CSensorBase::GetTriggerMode, ok);
}
uint32_t CVexCamU3K9Base::CanChangeWidth() { return Info(&SensorInfo::widthAdjustable); }
uint32_t CVexCamU3K9Base::CanChangeHeight() { return Info(&SensorInfo::heightAdjustable); }
uint32_t CVexCamU3K9Base::GetArrayWidth() { return Info(&SensorInfo::arrayWidth); }
uint32_t CVexCamU3K9Base::GetArrayHeight() { return Info(&SensorInfo::arrayHeight); }
uint32_t CVexCamU3K9Base::GetEffectiveWidth() { return Info(&SensorInfo::effectiveWidth); }
uint32_t CVexCamU3K9Base::GetEffectiveHeight() { return Info(&SensorInfo::effectiveHeight); }
uint32_t CVexCamU3K9Base::GetEffectiveOriginX() { return Info(&SensorInfo::originX); }
uint32_t CVexCamU3K9Base::GetEffectiveOriginY() { return Info(&SensorInfo::originY); }
uint32_t CVexCamU3K9Base::SetGlobalGain(uint32_t gain) { VEXCAM_FORWARD(SetGlobalGain(gain)); }
uint32_t CVexCamU3K9Base::GetGlobalGain(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGain, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetGlobalGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetGlobalGainDefault, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTime(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTime, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeMin(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeMin, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeMax(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeMax, ok);
}
uint32_t CVexCamU3K9Base::GetExposureTimeDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureTimeDefault, ok);
}
uint32_t CVexCamU3K9Base::SetExposureLines(uint32_t lines) {
  VEXCAM_FORWARD(SetExposureLines(lines));
}
uint32_t CVexCamU3K9Base::GetExposureLines(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLines, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesMin(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesMin, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesMax(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesMax, ok);
}
uint32_t CVexCamU3K9Base::GetExposureLinesDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetExposureLinesDefault, ok);
}
uint32_t CVexCamU3K9Base::IsExposureTimeExSupported() {
  VEXCAM_FORWARD(IsExposureTimeExSupported());
}
double CVexCamU3K9Base::GetExposureTimeEx(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeEx, ok);
}
double CVexCamU3K9Base::GetExposureTimeExMin(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExMin, ok);
}
double CVexCamU3K9Base::GetExposureTimeExMax(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExMax, ok);
}
double CVexCamU3K9Base::GetExposureTimeExDefault(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetExposureTimeExDefault, ok);
}
uint32_t CVexCamU3K9Base::SetChannelGain(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelGain(channel, value));
}
uint32_t CVexCamU3K9Base::GetChannelGain(uint32_t channel, uint32_t* ok) {
  return GetChannel(&CSensorBase::GetChannelGain, channel, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetChannelGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelGainDefault, ok);
}
uint32_t CVexCamU3K9Base::SetChannelOffset(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelOffset(channel, value));
}
uint32_t CVexCamU3K9Base::GetChannelOffset(uint32_t channel, uint32_t* ok) {
  return GetChannel(&CSensorBase::GetChannelOffset, channel, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetMin(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetMin, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetMax(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetMax, ok);
}
uint32_t CVexCamU3K9Base::GetChannelOffsetDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetChannelOffsetDefault, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainRed(uint32_t gain) { VEXCAM_FORWARD(SetColorGainRed(gain)); }
uint32_t CVexCamU3K9Base::GetColorGainRed(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainRed, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainGreen1(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainGreen1(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainGreen1(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainGreen1, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainGreen2(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainGreen2(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainGreen2(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainGreen2, ok);
}
uint32_t CVexCamU3K9Base::SetColorGainBlue(uint32_t gain) {
  VEXCAM_FORWARD(SetColorGainBlue(gain));
}
uint32_t CVexCamU3K9Base::GetColorGainBlue(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainBlue, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetColorGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetColorGainDefault, ok);
}
uint32_t CVexCamU3K9Base::IsAnalogGainSupported() { VEXCAM_FORWARD(IsAnalogGainSupported()); }
uint32_t CVexCamU3K9Base::SetAnalogGain(uint32_t value) { VEXCAM_FORWARD(SetAnalogGain(value)); }
uint32_t CVexCamU3K9Base::GetAnalogGain(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGain, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainMin(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainMin, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainMax(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainMax, ok);
}
uint32_t CVexCamU3K9Base::GetAnalogGainDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetAnalogGainDefault, ok);
}
uint32_t CVexCamU3K9Base::WriteSensorRegister(uint32_t address, uint32_t value) {
  VEXCAM_FORWARD(WriteSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::ReadSensorRegister(uint32_t address, uint32_t* value) {
  VEXCAM_FORWARD(ReadSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::StartStream() {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StartStream();
  return 1;
}
uint32_t CVexCamU3K9Base::StopStream() {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StopStream();
  return 1;
}
uint32_t CVexCamU3K9Base::AccessSensorParameter(uint32_t driverIndex, uint32_t operation,
                                                uint32_t* parameter) {
  if (driverIndex != 0) return 0;
  VEXCAM_FORWARD(AccessSensorParameter(operation, parameter));
}
uint32_t CVexCamU3K9Base::HasCorrectionMode() { VEXCAM_FORWARD(HasCorrectionMode()); }
uint32_t CVexCamU3K9Base::SetCorrectionMode(uint32_t mode) {
  VEXCAM_FORWARD(SetCorrectionMode(mode));
}
uint32_t CVexCamU3K9Base::GetCorrectionMode() { VEXCAM_FORWARD(GetCorrectionMode()); }
uint32_t CVexCamU3K9Base::ReceiveText(char* buffer, uint32_t size) {
  VEXCAM_FORWARD(ReceiveText(buffer, size));
}
uint32_t CVexCamU3K9Base::SendText(const char* text, uint32_t length) {
  VEXCAM_FORWARD(SendText(text, length));
}
uint32_t CVexCamU3K9Base::IsPeltierSupported() { VEXCAM_FORWARD(IsPeltierSupported()); }
uint32_t CVexCamU3K9Base::GetPeltier() { VEXCAM_FORWARD(GetPeltier()); }
uint32_t CVexCamU3K9Base::SetPeltier(uint32_t on) {
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  const uint32_t ok = sensor_->SetPeltier(on);
  if (ok) peltierRequest_.store(on != 0 ? 1 : 0);
  return ok;
}
uint32_t CVexCamU3K9Base::IsTemperatureSupported() { VEXCAM_FORWARD(IsTemperatureSupported()); }
double CVexCamU3K9Base::GetTemperature(uint32_t* ok) {
  return GetSeconds(&CSensorBase::GetTemperature, ok);
}
uint32_t CVexCamU3K9Base::ApplyMonitorSetting() { VEXCAM_FORWARD(ApplyMonitorSetting()); }
uint32_t CVexCamU3K9Base::GetSensorMode(uint32_t* ok) {
  return Get(&CSensorBase::GetSensorMode, ok);
}
uint32_t CVexCamU3K9Base::SetSensorMode(uint32_t state) { VEXCAM_FORWARD(SetSensorMode(state)); }
uint32_t CVexCamU3K9Base::HasOperationMode() { VEXCAM_FORWARD(HasOperationMode()); }
uint32_t CVexCamU3K9Base::GetOperationModeState(uint32_t* ok) {
  return Get(&CSensorBase::GetOperationModeState, ok);
}
uint32_t CVexCamU3K9Base::SetOperationMode(uint32_t mode) {
  VEXCAM_FORWARD(SetOperationMode(mode));
}
uint32_t CVexCamU3K9Base::IsOperationModeReady() { VEXCAM_FORWARD(IsOperationModeReady()); }
uint32_t CVexCamU3K9Base::Reserved148() { VEXCAM_FORWARD(Reserved112()); }
uint32_t CVexCamU3K9Base::Reserved149() { VEXCAM_FORWARD(Reserved113()); }
int32_t CVexCamU3K9Base::GetCoolingTarget(uint32_t* ok) {
  int32_t value = 0;
  std::lock_guard<std::recursive_mutex> driverLock(driverMutex_);
  const bool read = sensor_ && sensor_->GetCoolingTarget(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}
uint32_t CVexCamU3K9Base::SetCoolingTarget(int32_t celsius) {
  VEXCAM_FORWARD(SetCoolingTarget(celsius));
}
uint32_t CVexCamU3K9Base::CheckModuleVersion() { VEXCAM_FORWARD(CheckModuleVersion()); }
uint32_t CVexCamU3K9Base::GetModuleInfo(uint32_t* ok) {
  return Get(&CSensorBase::GetModuleInfo, ok);
}
uint32_t CVexCamU3K9Base::SetTriggerOption(uint32_t value) {
  VEXCAM_FORWARD(SetTriggerOption(value));
}
uint32_t CVexCamU3K9Base::ApplyTriggerOption(uint32_t a, uint32_t b) {
  VEXCAM_FORWARD(ApplyTriggerOption(a, b));
}
uint32_t CVexCamU3K9Base::HasTriggerOption() { VEXCAM_FORWARD(HasTriggerOption()); }
uint32_t CVexCamU3K9Base::HasAutoCorrection() { VEXCAM_FORWARD(HasAutoCorrection()); }
uint32_t CVexCamU3K9Base::GetAutoCorrection(uint32_t* ok) {
  return Get(&CSensorBase::GetAutoCorrection, ok);
}
uint32_t CVexCamU3K9Base::SetAutoCorrection(uint32_t value) {
  VEXCAM_FORWARD(SetAutoCorrection(value));
}
uint32_t CVexCamU3K9Base::IsGainModeSupported() { VEXCAM_FORWARD(IsGainModeSupported()); }
uint32_t CVexCamU3K9Base::GetGainModeMin(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeMin, ok);
}
uint32_t CVexCamU3K9Base::GetGainModeMax(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeMax, ok);
}
uint32_t CVexCamU3K9Base::GetGainModeDefault(uint32_t* ok) {
  return Get(&CSensorBase::GetGainModeDefault, ok);
}
uint32_t CVexCamU3K9Base::GetGainMode(uint32_t* ok) { return Get(&CSensorBase::GetGainMode, ok); }
uint32_t CVexCamU3K9Base::SetGainMode(uint32_t value) { VEXCAM_FORWARD(SetGainMode(value)); }
uint32_t CVexCamU3K9Base::GetGainModeLabel(uint32_t step, char* text, uint32_t size) {
  VEXCAM_FORWARD(GetGainModeLabel(step, text, size));
}
uint32_t CVexCamU3K9Base::SetOutputMode(uint32_t mode) { VEXCAM_FORWARD(SetOutputMode(mode)); }
uint32_t CVexCamU3K9Base::SetOutputModeValue(uint32_t value) {
  VEXCAM_FORWARD(SetOutputModeValue(value));
}
uint32_t CVexCamU3K9Base::GetOutputMode() { VEXCAM_FORWARD(GetOutputMode()); }
uint32_t CVexCamU3K9Base::IsColorModeSupported() { VEXCAM_FORWARD(IsColorModeSupported()); }
uint32_t CVexCamU3K9Base::IsBinningSupported() { VEXCAM_FORWARD(IsBinningSupported()); }
uint32_t CVexCamU3K9Base::IsSubSampleSupported() { VEXCAM_FORWARD(IsSubSampleSupported()); }
uint32_t CVexCamU3K9Base::HasExtraOption() { VEXCAM_FORWARD(HasExtraOption()); }
uint32_t CVexCamU3K9Base::EnableExtraOption() { VEXCAM_FORWARD(EnableExtraOption()); }

#undef VEXCAM_FORWARD

}  // namespace vexcam
