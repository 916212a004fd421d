#pragma once

#include <cstdint>

namespace vexcam {

// The camera operations auto exposure needs. The instance implements it over
// its camera device model; tests use a double. Every call returns non-zero on
// success and 0 on failure, with values through out-parameters. Exposure
// times are in tenths of milliseconds, the extended exposure in seconds.
// Called from the capture thread.
class IAutoIrisCamera {
 public:
  virtual ~IAutoIrisCamera() = default;

  virtual uint32_t GetExposureTime(uint32_t* time) = 0;
  virtual uint32_t GetExposureTimeMin(uint32_t* time) = 0;
  virtual uint32_t GetExposureTimeMax(uint32_t* time) = 0;
  virtual uint32_t SetExposureTime(uint32_t time) = 0;
  virtual uint32_t IsExposureTimeExSupported() = 0;
  virtual uint32_t GetExposureTimeEx(double* seconds) = 0;

  virtual uint32_t GetGlobalGain(int32_t* gain) = 0;
  virtual uint32_t GetGlobalGainMin(int32_t* gain) = 0;
  virtual uint32_t GetGlobalGainMax(int32_t* gain) = 0;
  virtual uint32_t SetGlobalGain(int32_t gain) = 0;
};

}  // namespace vexcam
