#pragma once

#include <cstdint>

#include "imaging/auto_iris_camera.h"
#include "imaging/dib_image.h"

namespace vexcam {

// What one auto-iris step changed, for the instance to record (and to show in
// an open analog dialog).
struct AutoIrisResult {
  uint32_t exposureSet = 0;     // the camera's exposure was set to `exposure`
  uint32_t exposure = 0;        // tenths of milliseconds
  uint32_t exposureExRead = 0;  // `exposureEx` was read back from the camera
  double exposureEx = -1.0;     // seconds
  uint32_t gainSet = 0;         // the camera's global gain was set to `gain`
  int32_t gain = 0;
};

// Brightness factor of a raw frame in twentieths (20 = x1.0): starts at 20 and
// for each of the five sample windows (four near the corners, one in the
// centre) whose integer mean v is above 200 subtracts 3, above 160 subtracts 2,
// below 50 adds 2, below 100 adds 1. Means of 16-bit frames are brought to the
// 8-bit scale by dropping sampleBits - 8 low bits (sampleBits 9..16, the depth
// of the data in the samples). Returns 20 for an image it cannot measure.
int32_t AutoIrisFactor20(const DibImage& raw, int sampleBits = 16);

// What a frame asks of auto exposure: the mode to scale by and the frame's
// brightness factor. Measured while the frame is processed, applied to the
// camera afterwards, once the frame no longer needs its locks.
struct AutoIrisRequest {
  int mode = 0;  // 1 exposure time, 2 global gain; 0 asks for nothing
  int32_t factor20 = 20;
};

// The request of one auto-exposure step on a raw frame (8 or 16 bits per
// sample): mode 1 scales the exposure time, mode 2 the global gain, by the
// factor when it is outside (0.6, 1.2). Mode 0, an image it cannot measure or
// a factor inside that range ask for nothing.
AutoIrisRequest MeasureAutoIris(const DibImage& raw, int mode, int sampleBits = 16);

// Applies a request to the camera, keeping the camera's minimum and maximum.
// A request for nothing or a failed camera read changes nothing. Returns 1
// when the camera was changed (see *result), 0 otherwise.
uint32_t ApplyAutoIris(const AutoIrisRequest& request, IAutoIrisCamera& camera,
                       AutoIrisResult* result);

// Measure and apply in one step.
uint32_t RunAutoIris(const DibImage& raw, int mode, IAutoIrisCamera& camera, AutoIrisResult* result,
                     int sampleBits = 16);

}  // namespace vexcam
