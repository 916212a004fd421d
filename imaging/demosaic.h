#pragma once

#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"
#include "imaging/image_settings.h"
#include "imaging/region_op.h"
#include "imaging/row_workers.h"

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

  // Runs AutoWhiteBalance first when the settings ask for it, then Run with
  // the settings' Bayer mode and gains.
  bool Run(DibImage& dst, const DibImage& raw, ImageSettings& settings);

 private:
  std::vector<uint32_t> scratch_;
};

// Measured white-balance gains.
struct WhiteBalanceGains {
  int32_t red = 100;
  int32_t green = 100;
  int32_t blue = 100;
};

// Means of the red, blue and both green phases of an 8- or 16-bit raw image;
// red gain = trunc(100 * G / R), blue likewise, each capped at 400, green 100.
// A phase mean of 0 has no finite ratio: the gain becomes 400 (the cap) when
// green is above 0, and keeps its value in `gains` when green is 0 too (a
// black frame carries no colour information). Returns false (gains untouched)
// for an empty or non-raw image.
bool MeasureWhiteBalance(const DibImage& raw, int bayerMode, WhiteBalanceGains& gains);

// The per-frame white balance step: when the auto switch is on, measures the
// gains into the settings. When both one-shot flags are set the switch and
// both flags are cleared afterwards, so the measurement runs on one frame.
// Returns true when the gains were updated.
bool AutoWhiteBalance(const DibImage& raw, ImageSettings& settings);

// RegionOp: 24- or 32-bit colour source to 8-bit gray,
// gray = (59 G + 30 R + 11 B) / 100. Parameters unused.
int GrayFromColorOp(uint8_t* dst, const uint8_t* src, const RegionRect& rect, int dstX, int dstY,
                    int dstBpp, int srcBpp, uint32_t dstStride, uint32_t srcStride,
                    const void* param1, const void* param2);

// Whole-image GrayFromColor: color (24/32 bit) into gray8 (8 bit) of the same
// size. Returns false for mismatched images.
bool GrayFromColor(DibImage& gray8, const DibImage& color);

}  // namespace vexcam
