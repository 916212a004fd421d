#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/region_op.h"
#include "imaging/row_workers.h"
#include "imaging/white_balance.h"

namespace vexcam {

// Integer gain factor of a white-balance gain (100 = x1.0 gives 128). Gains
// outside 0..400 are clamped first.
int DemosaicGainFactor(int gain);

// Bilinear Bayer demosaic with the 9/3/3/1 weights. Output pixel (x, y) is
// the colour at the centre of the 2 x 2 raw quad whose lower-right sample is
// (x, y). Owns its row buffers so a stream of frames does not allocate.
class Demosaicer {
 public:
  // Fills the first three samples (B, G, R) of every pixel of dst from raw:
  // 8-bit raw into a 24- or 32-bit image, 16-bit raw into a 48- or 64-bit
  // one, same width and height. Red and blue are scaled by their gains
  // (0..400); green is never scaled. Returns false and leaves dst untouched
  // for mismatched images and for frames narrower or lower than 4 pixels,
  // where the two-period border reflection would still land outside.
  // With workers the rows are split into one band per part.
  bool Run(DibImage& dst, const DibImage& raw, int bayerMode, int gainRed, int gainBlue,
           RowWorkers* workers = nullptr);

 private:
  std::vector<uint32_t> scratch_;
};

// RegionOp: 24- or 32-bit colour source to 8-bit gray,
// gray = (59 G + 30 R + 11 B) / 100. Parameters unused.
int GrayFromColorOp(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                    int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride,
                    const void* param1, const void* param2);

// Whole-image GrayFromColor: color (24/32 bit) into gray8 (8 bit) of the same
// size. Returns false for mismatched images.
bool GrayFromColor(DibImage& gray8, const DibImage& color);

}  // namespace vexcam
