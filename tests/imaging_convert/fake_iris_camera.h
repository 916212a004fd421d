#pragma once
// A camera for the auto-exposure loop: exposure and gain with their limits,
// reads that can be made to fail, and a count of the values set.
#include <cstdint>

#include "imaging/auto_iris.h"

namespace vexcam::test {

class FakeCamera : public IAutoIrisCamera {
 public:
  uint32_t exposure = 1000, expMin = 10, expMax = 60000;
  int32_t gain = 100, gainMin = 0, gainMax = 400;
  bool exSupported = false, failReads = false;
  int sets = 0;
  uint32_t GetExposureTime(uint32_t* t) override {
    *t = exposure;
    return !failReads;
  }
  uint32_t GetExposureTimeMin(uint32_t* t) override {
    *t = expMin;
    return 1;
  }
  uint32_t GetExposureTimeMax(uint32_t* t) override {
    *t = expMax;
    return 1;
  }
  uint32_t SetExposureTime(uint32_t t) override {
    exposure = t;
    ++sets;
    return 1;
  }
  uint32_t IsExposureTimeExSupported() override { return exSupported; }
  uint32_t GetExposureTimeEx(double* s) override {
    *s = exposure / 10000.0;
    return 1;
  }
  uint32_t GetGlobalGain(int32_t* g) override {
    *g = gain;
    return !failReads;
  }
  uint32_t GetGlobalGainMin(int32_t* g) override {
    *g = gainMin;
    return 1;
  }
  uint32_t GetGlobalGainMax(int32_t* g) override {
    *g = gainMax;
    return 1;
  }
  uint32_t SetGlobalGain(int32_t g) override {
    gain = g;
    ++sets;
    return 1;
  }
};

}  // namespace vexcam::test
