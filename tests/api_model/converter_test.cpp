// The video converter's frames through the public API. Its simulated camera
// sends the test picture with three samples per pixel (red, green, blue), so
// every delivered pixel can be recomputed: Color 24 holds them as blue,
// green, red, Mono 8 their luma, and the mirror reverses whole pixels.
#include <functional>

#include "model_fixture.h"
#include "tests/api_capture/sim_picture.h"

namespace {

using model_test::kHeight;
using model_test::kWidth;

class Converter : public model_test::Model {
 protected:
  std::vector<uint8_t> Snap(int bits) {
    EXPECT_EQ(VexCam_SetColorMode(h_, bits), 1);
    const int stride = (kWidth * bits / 8 + 3) / 4 * 4;
    std::vector<uint8_t> frame(static_cast<size_t>(stride) * kHeight);
    EXPECT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1);
    return frame;
  }
};

// Sample c (0 red, 1 green, 2 blue) of converter pixel (x, y) in the picture
// of frame tag / exposure counter.
uint32_t Sample(uint32_t tag, uint32_t exposure, int x, int y, int c) {
  return vexcam::sim::PatternSample(tag, exposure, static_cast<uint32_t>(3 * x + c),
                                    static_cast<uint32_t>(y), 8);
}

// The frame's tag and exposure are the camera's; a picture matches when some
// pair reproduces every seventh row. expect(tag, exposure, x, y, k) is what
// sample k of image pixel (x, y), top row first, should hold.
bool MatchesPicture(const std::vector<uint8_t>& frame, int bytesPerPixel,
                    const std::function<uint32_t(uint32_t, uint32_t, int, int, int)>& expect) {
  const int stride = (kWidth * bytesPerPixel + 3) / 4 * 4;
  // The gain changes every 128 exposure counts.
  for (uint32_t exposure = 0; exposure <= 1920; exposure += 128) {
    if (vexcam::test::MatchesSomeTag(
            kWidth * bytesPerPixel, (kHeight + 6) / 7,
            [&](int c, int r) { return uint32_t{frame[size_t(7 * r) * stride + c]}; },
            [&](uint32_t tag, int c, int r) {
              return expect(tag, exposure, c / bytesPerPixel, 7 * r, c % bytesPerPixel);
            }))
      return true;
  }
  return false;
}

TEST_F(Converter, ColourAndLumaAreTheSentSamples) {
  EXPECT_TRUE(MatchesPicture(Snap(24), 3, [](uint32_t t, uint32_t e, int x, int y, int k) {
    return Sample(t, e, x, y, 2 - k);  // blue, green, red
  }));
  EXPECT_TRUE(MatchesPicture(Snap(8), 1, [](uint32_t t, uint32_t e, int x, int y, int) {
    return (59 * Sample(t, e, x, y, 1) + 30 * Sample(t, e, x, y, 0) + 11 * Sample(t, e, x, y, 2)) /
           100;
  }));
  ASSERT_EQ(VexCam_SetMirrorH(h_, 1), 1);
  EXPECT_TRUE(MatchesPicture(Snap(24), 3, [](uint32_t t, uint32_t e, int x, int y, int k) {
    return Sample(t, e, kWidth - 1 - x, y, 2 - k);
  }));
  EXPECT_EQ(VexCam_GetLastError(h_), 0u);
}

}  // namespace
