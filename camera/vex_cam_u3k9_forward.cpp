// The operations of the camera device model that forward to the sensor
// driver unchanged, under the driver lock.
#include "camera/vex_cam_u3k9_base.h"

namespace vexcam {

// ---------------------------------------------------------------- forwarders

uint32_t CVexCamU3K9Base::Get(uint32_t (CSensorBase::*op)(uint32_t*), uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

uint32_t CVexCamU3K9Base::GetChannel(uint32_t (CSensorBase::*op)(uint32_t, uint32_t*),
                                     uint32_t channel, uint32_t* ok) {
  uint32_t value = 0;
  std::lock_guard<std::mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(channel, &value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}

double CVexCamU3K9Base::GetSeconds(uint32_t (CSensorBase::*op)(double*), uint32_t* ok) {
  double value = 0.0;
  std::lock_guard<std::mutex> lock(driverMutex_);
  const bool read = sensor_ && (sensor_.get()->*op)(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0.0;
}

uint32_t CVexCamU3K9Base::Info(uint32_t SensorInfo::*field) {
  SensorInfo info;
  if (!GetSensorInfo(&info)) return 0;
  return info.*field;
}

#define VEXCAM_FORWARD(call)                            \
  std::lock_guard<std::mutex> driverLock(driverMutex_); \
  if (!sensor_) return 0;                               \
  return sensor_->call

// The one-line forwarders, one list per signature.
#define VEXCAM_GET(Name) \
  uint32_t CVexCamU3K9Base::Name(uint32_t* ok) { return Get(&CSensorBase::Name, ok); }
#define VEXCAM_GET_SECONDS(Name) \
  double CVexCamU3K9Base::Name(uint32_t* ok) { return GetSeconds(&CSensorBase::Name, ok); }
#define VEXCAM_GET_CHANNEL(Name)                                   \
  uint32_t CVexCamU3K9Base::Name(uint32_t channel, uint32_t* ok) { \
    return GetChannel(&CSensorBase::Name, channel, ok);            \
  }
#define VEXCAM_INFO(Name, field) \
  uint32_t CVexCamU3K9Base::Name() { return Info(&SensorInfo::field); }
#define VEXCAM_QUERY(Name) \
  uint32_t CVexCamU3K9Base::Name() { VEXCAM_FORWARD(Name()); }
#define VEXCAM_SET(Name) \
  uint32_t CVexCamU3K9Base::Name(uint32_t value) { VEXCAM_FORWARD(Name(value)); }

VEXCAM_GET(GetSamplingRate)
VEXCAM_GET(GetMirrorH)
VEXCAM_GET(GetMirrorV)
VEXCAM_GET(GetTriggerMode)
VEXCAM_GET(GetGlobalGain)
VEXCAM_GET(GetGlobalGainMin)
VEXCAM_GET(GetGlobalGainMax)
VEXCAM_GET(GetGlobalGainDefault)
VEXCAM_GET(GetExposureTime)
VEXCAM_GET(GetExposureTimeMin)
VEXCAM_GET(GetExposureTimeMax)
VEXCAM_GET(GetExposureTimeDefault)
VEXCAM_GET(GetExposureLines)
VEXCAM_GET(GetExposureLinesMin)
VEXCAM_GET(GetExposureLinesMax)
VEXCAM_GET(GetExposureLinesDefault)
VEXCAM_GET(GetChannelGainMin)
VEXCAM_GET(GetChannelGainMax)
VEXCAM_GET(GetChannelGainDefault)
VEXCAM_GET(GetChannelOffsetMin)
VEXCAM_GET(GetChannelOffsetMax)
VEXCAM_GET(GetChannelOffsetDefault)
VEXCAM_GET(GetColorGainRed)
VEXCAM_GET(GetColorGainGreen1)
VEXCAM_GET(GetColorGainGreen2)
VEXCAM_GET(GetColorGainBlue)
VEXCAM_GET(GetColorGainMin)
VEXCAM_GET(GetColorGainMax)
VEXCAM_GET(GetColorGainDefault)
VEXCAM_GET(GetAnalogGain)
VEXCAM_GET(GetAnalogGainMin)
VEXCAM_GET(GetAnalogGainMax)
VEXCAM_GET(GetAnalogGainDefault)
VEXCAM_GET(GetSensorMode)
VEXCAM_GET(GetOperationModeState)
VEXCAM_GET(GetModuleInfo)
VEXCAM_GET(GetAutoCorrection)
VEXCAM_GET(GetGainModeMin)
VEXCAM_GET(GetGainModeMax)
VEXCAM_GET(GetGainModeDefault)
VEXCAM_GET(GetGainMode)

VEXCAM_GET_SECONDS(GetExposureTimeEx)
VEXCAM_GET_SECONDS(GetExposureTimeExMin)
VEXCAM_GET_SECONDS(GetExposureTimeExMax)
VEXCAM_GET_SECONDS(GetExposureTimeExDefault)
VEXCAM_GET_SECONDS(GetTemperature)

VEXCAM_GET_CHANNEL(GetChannelGain)
VEXCAM_GET_CHANNEL(GetChannelOffset)

VEXCAM_INFO(CanChangeWidth, widthAdjustable)
VEXCAM_INFO(CanChangeHeight, heightAdjustable)
VEXCAM_INFO(GetArrayWidth, arrayWidth)
VEXCAM_INFO(GetArrayHeight, arrayHeight)
VEXCAM_INFO(GetEffectiveWidth, effectiveWidth)
VEXCAM_INFO(GetEffectiveHeight, effectiveHeight)
VEXCAM_INFO(GetEffectiveOriginX, originX)
VEXCAM_INFO(GetEffectiveOriginY, originY)

VEXCAM_QUERY(GetMirrorVDefault)
VEXCAM_QUERY(GetMirrorHDefault)
VEXCAM_QUERY(IsMirrorVSupported)
VEXCAM_QUERY(IsMirrorHSupported)
VEXCAM_QUERY(IsExposureTimeExSupported)
VEXCAM_QUERY(IsAnalogGainSupported)
VEXCAM_QUERY(HasCorrectionMode)
VEXCAM_QUERY(GetCorrectionMode)
VEXCAM_QUERY(IsPeltierSupported)
VEXCAM_QUERY(GetPeltier)
VEXCAM_QUERY(IsTemperatureSupported)
VEXCAM_QUERY(ApplyMonitorSetting)
VEXCAM_QUERY(HasOperationMode)
VEXCAM_QUERY(IsOperationModeReady)
VEXCAM_QUERY(CheckModuleVersion)
VEXCAM_QUERY(HasTriggerOption)
VEXCAM_QUERY(HasAutoCorrection)
VEXCAM_QUERY(IsGainModeSupported)
VEXCAM_QUERY(GetOutputMode)
VEXCAM_QUERY(IsColorModeSupported)
VEXCAM_QUERY(IsBinningSupported)
VEXCAM_QUERY(IsSubSampleSupported)
VEXCAM_QUERY(HasExtraOption)
VEXCAM_QUERY(EnableExtraOption)

VEXCAM_SET(SetMirrorH)
VEXCAM_SET(SetMirrorV)
VEXCAM_SET(SetGlobalGain)
VEXCAM_SET(SetExposureLines)
VEXCAM_SET(SetColorGainRed)
VEXCAM_SET(SetColorGainGreen1)
VEXCAM_SET(SetColorGainGreen2)
VEXCAM_SET(SetColorGainBlue)
VEXCAM_SET(SetAnalogGain)
VEXCAM_SET(SetCorrectionMode)
VEXCAM_SET(SetSensorMode)
VEXCAM_SET(SetOperationMode)
VEXCAM_SET(SetTriggerOption)
VEXCAM_SET(SetAutoCorrection)
VEXCAM_SET(SetGainMode)
VEXCAM_SET(SetOutputMode)
VEXCAM_SET(SetOutputModeValue)

#undef VEXCAM_GET
#undef VEXCAM_GET_SECONDS
#undef VEXCAM_GET_CHANNEL
#undef VEXCAM_INFO
#undef VEXCAM_QUERY
#undef VEXCAM_SET

uint32_t CVexCamU3K9Base::SetChannelGain(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelGain(channel, value));
}
uint32_t CVexCamU3K9Base::SetChannelOffset(uint32_t channel, uint32_t value) {
  VEXCAM_FORWARD(SetChannelOffset(channel, value));
}
uint32_t CVexCamU3K9Base::WriteSensorRegister(uint32_t address, uint32_t value) {
  VEXCAM_FORWARD(WriteSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::ReadSensorRegister(uint32_t address, uint32_t* value) {
  VEXCAM_FORWARD(ReadSensorRegister(address, value));
}
uint32_t CVexCamU3K9Base::StartStream() {
  std::lock_guard<std::mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StartStream();
  return 1;
}
uint32_t CVexCamU3K9Base::StopStream() {
  std::lock_guard<std::mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  sensor_->StopStream();
  return 1;
}
uint32_t CVexCamU3K9Base::AccessSensorParameter(uint32_t driverIndex, uint32_t operation,
                                                uint32_t* parameter) {
  if (driverIndex != 0) return 0;
  VEXCAM_FORWARD(AccessSensorParameter(operation, parameter));
}
uint32_t CVexCamU3K9Base::ReceiveText(char* buffer, uint32_t size) {
  VEXCAM_FORWARD(ReceiveText(buffer, size));
}
uint32_t CVexCamU3K9Base::SendText(const char* text, uint32_t length) {
  VEXCAM_FORWARD(SendText(text, length));
}
uint32_t CVexCamU3K9Base::SetPeltier(uint32_t on) {
  std::lock_guard<std::mutex> driverLock(driverMutex_);
  if (!sensor_) return 0;
  const uint32_t ok = sensor_->SetPeltier(on);
  if (ok) peltierRequest_.store(on != 0 ? 1 : 0);
  return ok;
}
uint32_t CVexCamU3K9Base::Reserved148() { VEXCAM_FORWARD(Reserved112()); }
uint32_t CVexCamU3K9Base::Reserved149() { VEXCAM_FORWARD(Reserved113()); }
int32_t CVexCamU3K9Base::GetCoolingTarget(uint32_t* ok) {
  int32_t value = 0;
  std::lock_guard<std::mutex> driverLock(driverMutex_);
  const bool read = sensor_ && sensor_->GetCoolingTarget(&value) != 0;
  if (ok) *ok = read ? 1 : 0;
  return read ? value : 0;
}
uint32_t CVexCamU3K9Base::SetCoolingTarget(int32_t celsius) {
  VEXCAM_FORWARD(SetCoolingTarget(celsius));
}
uint32_t CVexCamU3K9Base::ApplyTriggerOption(uint32_t a, uint32_t b) {
  VEXCAM_FORWARD(ApplyTriggerOption(a, b));
}
uint32_t CVexCamU3K9Base::GetGainModeLabel(uint32_t step, char* text, uint32_t size) {
  VEXCAM_FORWARD(GetGainModeLabel(step, text, size));
}

#undef VEXCAM_FORWARD

}  // namespace vexcam
