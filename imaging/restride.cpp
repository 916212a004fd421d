#include "imaging/restride.h"

#include <cstring>

namespace vexcam {

bool RestrideRows(DibImage& img, int bytesPerPixel) {
  if (img.IsEmpty() || bytesPerPixel <= 0) return false;
  const size_t packed = static_cast<size_t>(img.Width()) * static_cast<size_t>(bytesPerPixel);
  if (packed > img.Stride()) return false;
  if (packed == img.Stride()) return true;
  uint8_t* base = img.Pixels();
  // Row 0 is already in place; a row's target never lies below its source.
  for (int y = img.Height() - 1; y > 0; --y)
    std::memmove(base + static_cast<size_t>(y) * img.Stride(),
                 base + static_cast<size_t>(y) * packed, packed);
  // The row padding still holds packed bytes; clear it so files get zeros.
  for (int y = 0; y < img.Height(); ++y)
    std::memset(base + static_cast<size_t>(y) * img.Stride() + packed, 0, img.Stride() - packed);
  return true;
}

}  // namespace vexcam
