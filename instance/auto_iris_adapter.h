#pragma once
// The camera operations of auto exposure over a camera device model. Called
// from the capture thread; the camera model serialises its own control.

#include <cstdint>

#include "imaging/auto_iris_camera.h"

namespace vexcam {

class CVexCamU3K9Base;

class AutoIrisAdapter : public IAutoIrisCamera {
 public:
  // camera may be null: every operation then fails.
  explicit AutoIrisAdapter(CVexCamU3K9Base* camera) : camera_(camera) {}

  uint32_t GetExposureTime(uint32_t* time) override;
  uint32_t GetExposureTimeMin(uint32_t* time) override;
  uint32_t GetExposureTimeMax(uint32_t* time) override;
  uint32_t SetExposureTime(uint32_t time) override;
  uint32_t IsExposureTimeExSupported() override;
  uint32_t GetExposureTimeEx(double* seconds) override;

  uint32_t GetGlobalGain(int32_t* gain) override;
  uint32_t GetGlobalGainMin(int32_t* gain) override;
  uint32_t GetGlobalGainMax(int32_t* gain) override;
  uint32_t SetGlobalGain(int32_t gain) override;

 private:
  CVexCamU3K9Base* camera_;
};

}  // namespace vexcam
