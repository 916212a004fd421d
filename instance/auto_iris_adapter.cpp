#include "instance/auto_iris_adapter.h"

#include "camera/vex_cam_u3k9_base.h"

namespace vexcam {

namespace {

// Runs a camera getter that reports success through its ok pointer.
template <class T, class Getter>
uint32_t Read(CVexCamU3K9Base* camera, T* out, Getter getter) {
  if (camera == nullptr || out == nullptr) return 0;
  uint32_t ok = 0;
  const auto value = getter(*camera, &ok);
  if (ok == 0) return 0;
  *out = static_cast<T>(value);
  return 1;
}

}  // namespace

uint32_t AutoIrisAdapter::GetExposureTime(uint32_t* time) {
  return Read(camera_, time,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetExposureTime(ok); });
}

uint32_t AutoIrisAdapter::GetExposureTimeMin(uint32_t* time) {
  return Read(camera_, time,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetExposureTimeMin(ok); });
}

uint32_t AutoIrisAdapter::GetExposureTimeMax(uint32_t* time) {
  return Read(camera_, time,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetExposureTimeMax(ok); });
}

uint32_t AutoIrisAdapter::SetExposureTime(uint32_t time) {
  return camera_ != nullptr && camera_->SetExposureTime(time) != 0 ? 1 : 0;
}

uint32_t AutoIrisAdapter::IsExposureTimeExSupported() {
  return camera_ != nullptr && camera_->IsExposureTimeExSupported() != 0 ? 1 : 0;
}

uint32_t AutoIrisAdapter::GetExposureTimeEx(double* seconds) {
  return Read(camera_, seconds,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetExposureTimeEx(ok); });
}

uint32_t AutoIrisAdapter::GetGlobalGain(int32_t* gain) {
  return Read(camera_, gain, [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetGlobalGain(ok); });
}

uint32_t AutoIrisAdapter::GetGlobalGainMin(int32_t* gain) {
  return Read(camera_, gain,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetGlobalGainMin(ok); });
}

uint32_t AutoIrisAdapter::GetGlobalGainMax(int32_t* gain) {
  return Read(camera_, gain,
              [](CVexCamU3K9Base& c, uint32_t* ok) { return c.GetGlobalGainMax(ok); });
}

uint32_t AutoIrisAdapter::SetGlobalGain(int32_t gain) {
  return camera_ != nullptr && gain >= 0 && camera_->SetGlobalGain(static_cast<uint32_t>(gain)) != 0
             ? 1
             : 0;
}

}  // namespace vexcam
