#pragma once

#include <cstdint>

#include "imaging/capture_geometry.h"
#include "imaging/defect_state.h"
#include "imaging/dib_image.h"

namespace vexcam {

// Shading correction of a raw frame (8 or 16 bits per sample) against the
// dark and white references of its depth; call under the image lock. Frame
// pixel (c, r) uses the references at sensor position (x0 + c * sub,
// y0 + r * sub); pixels whose position falls outside the sensor are left
// alone. A margin of 2 pixels on every side stays untouched when the capture
// window is 640 wide or 512 high.
//   8-bit:  W != D: s = clamp(((s - D) * 256) / (W - D), 0, 255), else unchanged
//   16-bit: W > D:  s = clamp(((s - D) * 65536) / (W - D), 0, 65535), else unchanged
// (division truncating toward zero).
void ApplyShadingCorrection(DibImage& raw, const DefectState& state,
                            const CaptureGeometry& geometry);

}  // namespace vexcam
