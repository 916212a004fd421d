#pragma once

#include <cstdint>
#include <vector>

#include "imaging/capture_geometry.h"
#include "imaging/defect_state.h"
#include "imaging/dib_image.h"

namespace vexcam {

// Frame position of a defect-list entry: column fx and row fy counted from the
// bottom of the frame. Returns false when the entry lies outside a frame of
// frameWidth x frameHeight. The entry is mirrored when the camera mirrors
// that axis in hardware and the switch is on; the window origin follows the
// camera's adjustable-window flags.
bool DefectFramePosition(const DefectPoint& p, const CaptureGeometry& g, int frameWidth,
                         int frameHeight, int32_t* fx, int32_t* fy);

// Configuration filter on a raw frame (8 or 16 bits per sample); call under the
// image lock. Every listed pixel inside the frame becomes the truncated mean
// of the nearest unlisted pixel to its left, right, below and above (each
// direction at most one); a pixel with no such neighbour is left alone. Listed
// pixels never feed another's repair, so the list order does not matter.
void ApplyConfigFilter(DibImage& raw, const std::vector<DefectPoint>& list,
                       const CaptureGeometry& geometry);

// Outlier threshold of the dot filter for a sample depth.
inline constexpr int32_t kDotThreshold8 = 30;
inline constexpr int32_t kDotThreshold16 = 480;

// Dot filter on a raw frame (8 or 16 bits per sample); call under the image
// lock. Marks interior pixels (1 <= x <= w - 2, 1 <= y <= h - 2) that the
// hot- or dead-pixel map of their depth marks, or that differ from the
// truncated mean of their four neighbours by at least the threshold; then
// replaces each marked pixel by the truncated mean of the nearest unmarked
// sample in each of the four directions (left, right, up, down), or leaves it
// when none exists. Frame pixel (c, r) reads the maps at sensor position
// (x0 + c * sub, y0 + r * sub); positions off the sensor have no fixed defect.
// The marks are kept in state.outlierMap.
void ApplyDotFilter(DibImage& raw, DefectState& state, const CaptureGeometry& geometry);

}  // namespace vexcam
