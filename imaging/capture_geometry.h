#pragma once

#include <cstdint>

namespace vexcam {

// Where the raw frame lies on the 640 x 512 sensor, and how it is oriented.
// Filled by the pipeline from the instance and its camera for every frame.
struct CaptureGeometry {
  int32_t x0 = 0;  // capture window on the sensor (top-left origin), before sub-sampling
  int32_t y0 = 0;
  int32_t width = 640;
  int32_t height = 512;
  int32_t subSample = 1;  // factor 1, 2, 4 or 8
  bool mirrorH = false;   // mirror switches of the instance
  bool mirrorV = false;
  bool hwMirrorH = false;  // the camera mirrors that axis in hardware
  bool hwMirrorV = false;
  bool canChangeWidth = false;  // the camera allows a horizontal window
  bool canChangeHeight = false;
};

}  // namespace vexcam
