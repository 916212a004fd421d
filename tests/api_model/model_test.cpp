// One model's SDK on its own simulated camera, through the public headers
// only: the names and sizes that follow from the model, frames in a mono and
// a colour mode, continuous preview, exposure and gain, and the settings that
// survive a release.
#include <algorithm>

#include "model_fixture.h"

namespace {

using namespace model_test;

TEST_F(Model, CameraIsNamedAfterTheModelAndReportsItsSensor) {
  char names[10][256] = {};
  EXPECT_EQ(VexCam_EnumDevice(h_, names), 1);
  EXPECT_EQ(names[0], kDeviceName);
  char name[256] = {};
  ASSERT_EQ(VexCam_GetDeviceName(h_, 0, name, sizeof name), 1);
  EXPECT_EQ(name, kDeviceName);

  const VEXCAM_CAMERA_INFO info = Info();
  EXPECT_EQ(info.sensorWidth, kWidth);
  EXPECT_EQ(info.sensorHeight, kHeight);
  EXPECT_EQ(VexCam_Height(h_), kHeight);
  EXPECT_LE(info.globalGainMin, info.globalGainMax);
  EXPECT_GT(info.exposureTimeMin, 0);
  EXPECT_LE(info.exposureTimeMin, info.exposureTimeMax);
  // A model with seconds-based exposure reports that range as well.
  if (info.exposureTimeMaxSeconds != 0.0) {
    EXPECT_LT(info.exposureTimeMinSeconds, info.exposureTimeMaxSeconds);
  }
  EXPECT_TRUE(Codes().empty());
}

// A snapshot fills exactly the frame of the colour mode: one byte less is
// refused (5 for the copy and 5 for the snapshot), nothing beyond it is
// written, and the picture is not a blank buffer. A mono camera refuses the
// colour modes and keeps the mode it had.
TEST_F(Model, SnapshotsFillTheFrameOfEachModeTheCameraOffers) {
  std::vector<int> modes = {8, 16};
  if (VEXCAM_TEST_COLOUR) {
    modes.push_back(24);
  } else {
    ASSERT_EQ(VexCam_SetColorMode(h_, 16), 1);
    EXPECT_REFUSED(VexCam_SetColorMode(h_, 24), VEXCAM_ERR_INVALID_ARG);
    EXPECT_EQ(VexCam_GetColorMode(h_), 16);
  }
  for (int bits : modes) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(VexCam_SetColorMode(h_, bits), 1);
    const int size = FrameBytes(bits);
    std::vector<uint8_t> frame(size + 16, 0xA5);
    EXPECT_REFUSED(VexCam_SnapShot(h_, frame.data(), size - 1, 1), VEXCAM_ERR_MEMORY,
                   VEXCAM_ERR_MEMORY);
    ASSERT_EQ(VexCam_SnapShot(h_, frame.data(), size, 1), 1) << Codes().size();
    EXPECT_TRUE(
        std::any_of(frame.begin(), frame.begin() + size, [](uint8_t b) { return b != 0xA5; }));
    EXPECT_TRUE(std::all_of(frame.begin() + size, frame.end(), [](uint8_t b) { return b == 0xA5; }))
        << "written beyond the frame";
  }
}

TEST_F(Model, PreviewPostsFramesOfTheSensorSize) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  std::vector<uint8_t> frame(FrameBytes(8));
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, frame.data(), static_cast<int>(frame.size()), 1),
            1);
  for (int i = 0; i < 3; ++i) {
    VEXWIN_MSG m{};
    ASSERT_TRUE(NextFrame(&m));
    ASSERT_NE(m.wParam, 0u) << "error " << m.lParam;
    const auto* info = reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam);
    EXPECT_EQ(info->width, static_cast<DWORD>(kWidth));
    EXPECT_EQ(info->height, static_cast<DWORD>(kHeight));
    EXPECT_EQ(info->bitsPerPixel, 8u);
    EXPECT_EQ(info->buffer, frame.data());
  }
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_TRUE(Codes().empty());
}

// Both ends and a middle of each reported range are taken as they are; the
// camera itself has the exposure once a frame was taken (some models apply
// it between frames). A model without a gain range accepts only its one value.
TEST_F(Model, ExposureAndGainRoundTripWithinTheReportedRanges) {
  const VEXCAM_CAMERA_INFO info = Info();
  // The converter reports a single exposure value.
  const LONG nearMin = std::min(info.exposureTimeMin + 1, info.exposureTimeMax);
  int ok = 0;
  for (LONG t : {info.exposureTimeMax, (info.exposureTimeMin + info.exposureTimeMax) / 2,
                 info.exposureTimeMin, nearMin}) {
    ASSERT_EQ(VexCam_SetExposureTime(h_, t), 1) << t;
    EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), t * 100);
    EXPECT_EQ(ok, 1);
  }
  EXPECT_REFUSED(VexCam_SetExposureTime(h_, info.exposureTimeMax + 1), VEXCAM_ERR_INVALID_ARG);
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  std::vector<uint8_t> frame(FrameBytes(8));
  ASSERT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1);
  // The converter has no exposure to read back.
  if (info.exposureTimeMin < info.exposureTimeMax) {
    EXPECT_EQ(VexCam_GetExposureTime(h_, &ok), nearMin);
  }

  for (LONG g :
       {info.globalGainMin, (info.globalGainMin + info.globalGainMax) / 2, info.globalGainMax}) {
    ASSERT_EQ(VexCam_SetGlobalGain(h_, g), 1) << g;
    EXPECT_EQ(VexCam_GetGlobalGain(h_, &ok), g);
    EXPECT_EQ(ok, 1);
  }
  EXPECT_REFUSED(VexCam_SetGlobalGain(h_, info.globalGainMax + 1), VEXCAM_ERR_INVALID_ARG);
}

// Release writes the model's own settings file; the next instance opens the
// camera with those values, and a closed camera captures again.
TEST_F(Model, SettingsSurviveReleaseAndTheCameraReopens) {
  const VEXCAM_CAMERA_INFO info = Info();
  const int exposure = std::min(info.exposureTimeMin + 1, info.exposureTimeMax);
  const int gain = info.globalGainMax;
  ASSERT_EQ(VexCam_SetExposureTime(h_, exposure), 1);
  ASSERT_EQ(VexCam_SetGlobalGain(h_, gain), 1);
  ASSERT_EQ(VexCam_SetMirrorH(h_, 1), 1);
  ASSERT_NO_FATAL_FAILURE(Reopen());
  EXPECT_TRUE(std::filesystem::exists(SettingsFile())) << SettingsFile();
  int ok = 0;
  EXPECT_EQ(VexCam_GetRealExposureTime(h_, &ok), exposure * 100);
  EXPECT_EQ(VexCam_GetGlobalGain(h_, &ok), gain);
  EXPECT_EQ(VexCam_GetMirrorH(h_), 1);

  EXPECT_EQ(VexCam_Close(h_), 1);
  ASSERT_EQ(VexCam_SetDeviceNumber(h_, 0), 1);
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  std::vector<uint8_t> frame(FrameBytes(8));
  EXPECT_EQ(VexCam_SnapShot(h_, frame.data(), static_cast<int>(frame.size()), 1), 1);
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
