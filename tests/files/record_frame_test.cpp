// The recorder's 24-bit bottom-up frames, against a plain per-pixel reference.
#include <gtest/gtest.h>

#include "files/record_frame.h"
#include "files_test_util.h"
#include "imaging_convert/cpu_paths.h"

namespace vexcam {
namespace {

using testref::RandomImage;
using testref::Sample;

// Expected B, G, R of frame pixel (x, row) where row 0 is the picture's bottom.
void Reference(const DibImage& out, int x, int row, uint8_t bgr[3]) {
  const int y = out.Height() - 1 - row;
  const uint8_t* p = out.Row(y) + x * out.BytesPerPixel();
  switch (out.BitCount()) {
    case 8:
      bgr[0] = bgr[1] = bgr[2] = p[0];
      break;
    case 16:
      bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>((Sample(out, x, y, 0) >> 2) & 255);
      break;
    case 24:
    case 32:
      for (int c = 0; c < 3; ++c) bgr[c] = p[c];
      break;
    default:
      for (int c = 0; c < 3; ++c) bgr[c] = static_cast<uint8_t>(Sample(out, x, y, c) >> 8);
  }
}

TEST_EVERY_CPU_PATH(RecordFrameTest, EveryColourModeBecomesBottomUpBgr) {
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    for (int width : {640, 642, 27, 11, 5, 1}) {
      const DibImage output = RandomImage(width, 9, bits, bits + width);
      DibImage frame, scratch;
      ASSERT_EQ(MakeRecordFrame(output, frame, scratch), 1) << bits;
      ASSERT_EQ(frame.BitCount(), 24);
      ASSERT_EQ(frame.Width(), width);
      ASSERT_EQ(frame.Height(), 9);
      for (int row = 0; row < 9; ++row)
        for (int x = 0; x < width; ++x) {
          uint8_t want[3];
          Reference(output, x, row, want);
          const uint8_t* got = frame.Row(row) + 3 * x;
          ASSERT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2])
              << bits << " bits, width " << width << " at " << x << "," << row;
        }
    }
  }
}

TEST(RecordFrameTest, BuffersAreReusedAndEmptyImageFails) {
  const DibImage output = RandomImage(64, 32, 16);
  DibImage frame, scratch;
  ASSERT_EQ(MakeRecordFrame(output, frame, scratch), 1);
  const uint8_t* framePixels = frame.Pixels();
  const uint8_t* scratchPixels = scratch.Pixels();
  ASSERT_EQ(MakeRecordFrame(output, frame, scratch), 1);
  EXPECT_EQ(frame.Pixels(), framePixels);
  EXPECT_EQ(scratch.Pixels(), scratchPixels);
  EXPECT_EQ(MakeRecordFrame(DibImage(), frame, scratch), 0);  // an empty image fails
}

}  // namespace
}  // namespace vexcam
