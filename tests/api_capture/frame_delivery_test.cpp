// What reaches the application: pixels, buffer limits, the frame info
// record, the frame rate and the frame message's error forms.
#include <chrono>
#include <cstring>
#include <vector>

#include "capture_fixture.h"

namespace vexcam::test {
namespace {

using Frames = CaptureTest;

constexpr uint8_t kGuard = 0xA5;

TEST_F(Frames, SnapshotIsTheCameraPictureInMono8) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  std::vector<uint8_t> image(kFull);
  ASSERT_EQ(VexCam_SnapShot(h_, image.data(), kFull, 1), 1);
  EXPECT_TRUE(IsWholeFrame(image, 8, SimExposure(sim_)));
}

TEST_F(Frames, TooSmallBufferIsNeverWrittenAndReportedTwice) {
  // A callback window stored by an earlier preview receives the snapshot's (0, 5).
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  DrainAll();
  Codes();
  const int needed = kFull;
  std::vector<uint8_t> buffer(needed + 64, kGuard);
  EXPECT_REFUSED(VexCam_SnapShot(h_, buffer.data(), needed - 1, 1), 5, 5);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m, 1000));
  EXPECT_EQ(m.wParam, 0u);
  EXPECT_EQ(m.lParam, 5);
  for (uint8_t b : buffer) ASSERT_EQ(b, kGuard);

  // In preview every frame posts (0, 5) and records 5 once; nothing is copied.
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), needed - 1, 0), 1);
  ASSERT_TRUE(NextFrame(&m));
  EXPECT_EQ(m.wParam, 0u);
  EXPECT_EQ(m.lParam, 5);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  for (DWORD code : Codes()) EXPECT_EQ(code, 5u);
  for (uint8_t b : buffer) ASSERT_EQ(b, kGuard);
}

// A stored "WaitTime" is the preview loop's sleep: the simulated camera is far
// faster than the 20 frames per second a 50 ms sleep allows.
TEST_F(Frames, FrameInfoDescribesEachFrameAndTheStoredWaitTimePacesTheLoop) {
  ASSERT_NO_FATAL_FAILURE(Restart({{"WaitTime", 50}}));
  ASSERT_EQ(VexCam_GetWaitTime(h_), 50);
  ASSERT_EQ(VexCam_SetColorMode(h_, 32), 1);
  const int size = 640 * 4 * 512;
  std::vector<uint8_t> buffer(size);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), size, 1), 1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
  int frames = 0;
  DWORD rate = 0;
  VEXWIN_MSG m{};
  while (std::chrono::steady_clock::now() < end) {
    if (!NextFrame(&m, 1000)) continue;
    ASSERT_EQ(m.lParam, 0);
    ASSERT_NE(m.wParam, 0u);
    VEXCAM_FRAME_INFO info;
    std::memcpy(&info, reinterpret_cast<const void*>(m.wParam), sizeof(info));
    EXPECT_EQ(info.reserved0, 0u);
    EXPECT_EQ(info.reserved1, 0u);
    // (The size and the buffer are Model.PreviewPostsFramesOfTheSensorSize's.)
    EXPECT_EQ(info.bitsPerPixel, 32u);
    rate = info.frameRate;
    ++frames;
  }
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_GT(frames, 10);
  EXPECT_LE(frames, 53) << "more frames than a 50 ms sleep allows";
  // Tenths of frames per second, measured over windows of a second.
  EXPECT_GT(rate, 20u);
  EXPECT_LE(rate, 210u);
  EXPECT_TRUE(Codes().empty());
}

// The ZA01 sends whole 640 x 512 frames whatever the code: the engine keeps
// every fourth sample of every fourth row, so frames keep arriving at the
// sub-sampled size.
TEST_F(Frames, WholeFramesOfTheCameraAreSubSampledByTheEngine) {
  ASSERT_NO_FATAL_FAILURE(Restart({{"SubSample", 2}}));  // codes other than 0 come only from there
  ASSERT_EQ(VexCam_GetSubSample(h_), 2);
  EXPECT_EQ(VexCam_Width(h_), 640);  // the window, before sub-sampling
  for (int bits : {16, 24}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(VexCam_SetColorMode(h_, bits), 1);
    const int size = 160 * (bits / 8) * 128;
    std::vector<uint8_t> buffer(size + 64, kGuard);
    ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), size, 1), 1);
    VEXWIN_MSG m{};
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(NextFrame(&m));
      ASSERT_NE(m.wParam, 0u) << "frame failed with " << m.lParam;
      VEXCAM_FRAME_INFO info;
      std::memcpy(&info, reinterpret_cast<const void*>(m.wParam), sizeof(info));
      EXPECT_EQ(info.width, 160u);
      EXPECT_EQ(info.height, 128u);
      EXPECT_EQ(info.bitsPerPixel, static_cast<DWORD>(bits));
    }
    ASSERT_EQ(VexCam_StopPreview(h_), 1);
    for (int i = size; i < size + 64; ++i) ASSERT_EQ(buffer[i], kGuard) << i;
  }
  EXPECT_TRUE(Codes().empty());

  // The samples are those of the camera's picture at 4 x the position.
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  std::vector<uint8_t> image(160 * 128);
  ASSERT_EQ(VexCam_SnapShot(h_, image.data(), static_cast<int>(image.size()), 1), 1);
  EXPECT_TRUE(IsWholeFrame(image, 8, SimExposure(sim_), 4));
}

}  // namespace
}  // namespace vexcam::test
