#pragma once

#include "imaging/dib_image.h"

namespace vexcam {

// Which axes the camera mirrors itself; those are never mirrored again here.
struct MirrorHardware {
  bool horizontal = false;
  bool vertical = false;
};

// Software mirror of an 8- or 16-bit raw image: H alone reverses every row,
// V alone reverses the row order, both turn the image by 180 degrees. An axis
// is mirrored only when its switch is on and the hardware does not do it. The
// result is built in scratch (resized to raw's geometry when it differs) and
// copied back. Returns false when nothing was done (no axis, or not a raw
// image, or scratch could not be created).
bool SoftwareMirror(DibImage& raw, DibImage& scratch, bool mirrorH, bool mirrorV,
                    MirrorHardware hardware);

}  // namespace vexcam
