#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"

namespace vexcam {

// One entry of the defect list: sensor coordinates of the 640 x 512 sensor,
// y counted from the bottom row.
struct DefectPoint {
  uint32_t x = 0;
  uint32_t y = 0;
};

// Reference images, fixed-defect maps and defect list of one instance. Guarded
// by the instance's image lock: the mask-file code replaces references and the
// configuration-file loader replaces the list under it, and the filters read
// them under it.
struct DefectState {
  static constexpr int kSensorWidth = 640;
  static constexpr int kSensorHeight = 512;

  // Map thresholds: a dark reference above the hot limit marks a hot pixel,
  // a white reference below the dead limit a dead one.
  static constexpr int kHotLimit8 = 192;
  static constexpr int kDeadLimit8 = 64;
  static constexpr int kHotLimit16 = 12288;
  static constexpr int kDeadLimit16 = 4096;

  // Full-sensor references; a row holds 640 samples and the stride equals
  // the row length, so a mask-file block is Stride() * Height() bytes.
  DibImage dark8;    // 8-bit, initially 0
  DibImage white8;   // 8-bit, initially 255
  DibImage dark16;   // 16-bit, initially 0
  DibImage white16;  // 16-bit, initially 65535

  // Fixed-defect maps, 640 x 512, one byte per pixel (0 or 1) for both
  // sample depths; initially all 0.
  DibImage hotMap8;
  DibImage deadMap8;
  DibImage hotMap16;
  DibImage deadMap16;

  // Per-frame marks of the dot filter (width x height of the frame, one byte
  // each). Grows with the largest frame seen; never shrinks, so a steady
  // stream does not allocate.
  std::vector<uint8_t> outlierMap;

  // Defect list of the configuration filter, in list order.
  std::vector<DefectPoint> defectList;

  // Creates every image with its initial content and clears the list.
  // Returns 0 (state left empty) when an allocation fails.
  uint32_t Init();

  // Rebuilds the hot map (from the dark reference, white = false) or the dead
  // map (from the white reference) of depth 8 or 16, over rows 2..509 and
  // columns 2..637; map pixels outside that band keep their values. Returns
  // 0 for another depth or when the images are not initialised.
  uint32_t BuildDefectMap(int depth, bool white);
};

}  // namespace vexcam
