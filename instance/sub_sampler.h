#pragma once
// Sub-sampling made by the capture engine for cameras that deliver the whole
// capture window whatever sub-sample code they were given: the frame is read
// into a full-size image sized once per capture preparation, then every n-th
// sample of every n-th row is kept in the raw image the pipeline reads.

#include "imaging/dib_image.h"

namespace vexcam {

class SubSampler {
 public:
  // Sizes the full-size image for frames of width x height at bitCount (8 or
  // 16) and a factor of 2, 4 or 8. keepBayerCells keeps whole 2 x 2 cells of
  // the colour mosaic at a pitch of 2 x factor, so a colour frame stays a
  // mosaic of the same phase; otherwise sample (c, r) is (c x factor,
  // r x factor). False when the image cannot be made.
  bool Prepare(int width, int height, int bitCount, int factor, bool keepBayerCells);
  // Back to pass-through; frees the full-size image.
  void Disable();
  bool Active() const { return factor_ > 1; }

  // Where the camera's frame is copied while active.
  DibImage& Full() { return full_; }
  // Reduces Full() (tightly packed rows re-laid by the caller) into out,
  // which is factor times smaller in both directions.
  void Reduce(DibImage& out) const;

 private:
  DibImage full_;
  int factor_ = 1;
  bool keepBayerCells_ = false;
};

}  // namespace vexcam
