#include "files/record_frame.h"

#include "files/file_pixel_ops.h"
#include "imaging/depth_convert.h"

namespace vexcam {

namespace {

bool Fit(DibImage& image, int width, int height, int bitCount) {
    if (!image.IsEmpty() && image.Width() == width && image.Height() == height && image.BitCount() == bitCount)
        return true;
    return image.Create(width, height, bitCount);
}

}  // namespace

int MakeRecordFrame(const DibImage& output, DibImage& frame24, DibImage& scratch8) {
    if (output.IsEmpty()) return 0;
    const int w = output.Width();
    const int h = output.Height();
    if (!Fit(frame24, w, h, 24)) return 0;
    switch (output.BitCount()) {
        case 8: return ApplyRegionOp(frame24, ExpandPalette8To24Flip, output, nullptr, 0, 0, output.Colors(), nullptr);
        case 16:
            if (!Fit(scratch8, w, h, 8)) return 0;
            if (!ApplyRegionOp(scratch8, Convert16To8Shift2Flip, output, nullptr, 0, 0, nullptr, nullptr)) return 0;
            return ApplyRegionOp(frame24, ExpandPalette8To24, scratch8, nullptr, 0, 0, scratch8.Colors(), nullptr);
        case 24: return ApplyRegionOp(frame24, Convert24To24Flip, output, nullptr, 0, 0, nullptr, nullptr);
        case 32: {
            // The 32 -> 24 copy has no flipped form: run it one row at a time, bottom row first.
            for (int y = 0; y < h; ++y) {
                const RegionRect row{0, h - 1 - y, w, h - y};
                if (!ApplyRegionOp(frame24, Convert32To24, output, &row, 0, y, nullptr, nullptr)) return 0;
            }
            return 1;
        }
        case 48:
        case 64: return ApplyRegionOp(frame24, ConvertWideTo24HighFlip, output, nullptr, 0, 0, nullptr, nullptr);
        default: return 0;
    }
}

}  // namespace vexcam
