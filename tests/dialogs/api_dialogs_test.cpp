// The three dialog exports on a simulated ZA01: what reaches the settings
// store, the instance and the camera, capture around the camera dialog, live
// updates from the capture thread, the thread rule, and the pictures of
// every page in English and Japanese.
#include <thread>

#include "api_settings/settings_fixture.h"
#include "tests/dialogs/dialog_harness.h"

namespace vexcam::test {
namespace {

using settings_test::Dword;

class DialogApiTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    ASSERT_NE(DialogModule(), nullptr) << "the dialog module cannot be loaded or has no display";
    SetLanguage("C");
    MakeWindows();
    AddCameras();
    ASSERT_NE(Init(), 0u);
    Codes();
  }
};

TEST_F(DialogApiTest, OkWithoutChangesWritesPresetsAndCameraValues) {
  WhenOpen([](QDialog& d) { Click(d, "1"); });
  EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 1);
  const int32_t presets[3][7] = {{640, 512, 640, 512, 0, 0, 10},
                                 {640, 512, 320, 240, 160, 136, 10},
                                 {640, 512, 160, 120, 240, 196, 10}};
  const char* names[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
  for (int p = 0; p < 3; ++p) {
    const std::string key = "Camera_00\\Size_0" + std::to_string(p);
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(Dword(key, names[i]), static_cast<uint32_t>(presets[p][i])) << key;
  }
  const settings_test::Values camera = {
      {"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 1}, {"Clock", 2}};
  for (const auto& [name, value] : camera) EXPECT_EQ(Dword("Camera_00", name), value) << name;
  EXPECT_TRUE(Codes().empty());
}

TEST_F(DialogApiTest, ApplyThenCancelKeepsTheStoreButReloadsOnlyAfterOk) {
  const int before = VexCam_GetWaitTime(h_);
  WhenOpen([](QDialog& d) {
    Type(d, "1045", "77");
    Click(d, "1002");
    EXPECT_FALSE(Find<QPushButton>(d, "1002")->isEnabled());
    Click(d, "2");
  });
  EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 1);
  EXPECT_EQ(Dword("Camera_00", "WaitTime"), 77u);
  EXPECT_EQ(VexCam_GetWaitTime(h_), before);

  WhenOpen([](QDialog& d) {
    EXPECT_EQ(Find<QLineEdit>(d, "1045")->text(), "77");
    Click(d, "1");
  });
  EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 1);
  EXPECT_EQ(VexCam_GetWaitTime(h_), 77);
}

TEST_F(DialogApiTest, CameraDialogStopsPreviewAndRestartsItWithTheNewColourMode) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  std::vector<BYTE> buffer(640 * 512 * 3);
  ASSERT_EQ(
      VexCam_CallBackPreview(h_, callback_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  WhenOpen([&](QDialog& d) {
    // Stopped while the dialog is open: no frame comes.
    DrainAll();
    WaitUntil([] { return false; }, 300);
    VEXWIN_MSG late{};
    EXPECT_FALSE(VexWin_PeekMessage(callback_, &late, TRUE) && late.message == VEXCAM_MSG_FRAME);
    auto* color = Find<QComboBox>(d, "1009");
    color->setCurrentIndex(color->findText("Monochrome 8bit"));
    Click(d, "1");
  });
  EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 1);
  ASSERT_TRUE(NextFrame(&m));
  ASSERT_TRUE(NextFrame(&m));
  EXPECT_EQ(reinterpret_cast<const VEXCAM_FRAME_INFO*>(m.wParam)->bitsPerPixel, 8u);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
}

// The ZA01's gains have empty ranges: its vertical mirror is what is changed.
TEST_F(DialogApiTest, AnalogCancelPutsTheCameraMirrorBack) {
  ASSERT_EQ(VexCam_GetMirrorV(h_), 0);
  WhenOpen([&](QDialog& d) {
    Find<QCheckBox>(d, "1028")->click();
    EXPECT_EQ(VexCam_GetMirrorV(h_), 1);
    Click(d, "2");
  });
  EXPECT_EQ(VexCam_SetAnalogDlg(h_, nullptr), 1);
  EXPECT_EQ(VexCam_GetMirrorV(h_), 0);
}

TEST_F(DialogApiTest, ImageCancelRestoresGammaAndColourModeHasOneTab) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  ASSERT_EQ(VexCam_SetGamma(h_, 100), 1);
  WhenOpen([&](QDialog& d) {
    EXPECT_EQ(d.findChild<QTabWidget*>()->count(), 1);
    InPage<QSlider>(d, "107", "2081")->setValue(150);
    EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 150);
    Click(d, "2");
  });
  EXPECT_EQ(VexCam_SetImageDlg(h_, nullptr), 1);
  EXPECT_EQ(VexCam_GetGamma(h_, nullptr), 100);
}

TEST_F(DialogApiTest, GrayPageTakesGainsPastTheSetterAndDefaultSetsOffsetsTo128) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_SetGrayMode(h_, 2), 1);
  ASSERT_EQ(VexCam_SetGrayOffsetR(h_, 5), 1);
  ASSERT_EQ(VexCam_SetGrayOffsetB(h_, -9), 1);
  WhenOpen([&](QDialog& d) {
    EXPECT_EQ(d.findChild<QTabWidget*>()->count(), 2);
    EXPECT_TRUE(InPage<QRadioButton>(d, "112", "1048")->isChecked());
    Click(d, "3");
    EXPECT_EQ(VexCam_GetGrayOffsetR(h_, nullptr), 128);
    EXPECT_EQ(VexCam_GetGrayOffsetB(h_, nullptr), 128);
    EXPECT_EQ(InPage<QSlider>(d, "112", "2112")->value(), 128);
    EXPECT_EQ(VexCam_GetGrayMode(h_, nullptr), 2);
    Type(*Find<QWidget>(d, "112"), "2101", "300");
    EXPECT_EQ(InPage<QSlider>(d, "112", "2100")->value(), 300);
    EXPECT_EQ(VexCam_GetGrayGainR(h_, nullptr), 300);
    Click(d, "1");
  });
  EXPECT_EQ(VexCam_SetImageDlg(h_, nullptr), 1);
  EXPECT_EQ(VexCam_GetGrayGainR(h_, nullptr), 300);
  EXPECT_EQ(VexCam_GetGrayOffsetR(h_, nullptr), 128);
  EXPECT_EQ(VexCam_SetGrayGainR(h_, 300), 0);  // the setter keeps its range
}

TEST_F(DialogApiTest, GrayGainMeasuredOnTheCaptureThreadReachesTheOpenDialog) {
  ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
  ASSERT_EQ(VexCam_SetGrayMode(h_, 1), 1);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  ASSERT_EQ(VexCam_StartPreview(h_), 1);
  WhenOpen([&](QDialog& d) {
    QWidget* gray = Find<QWidget>(d, "112");
    Type(*gray, "2101", "300");
    auto* red = Find<QSlider>(*gray, "2100");
    ASSERT_EQ(red->value(), 300);
    Click(*gray, "2074");
    EXPECT_TRUE(WaitUntil([&] { return red->value() != 300; }));
    EXPECT_EQ(red->value(), VexCam_GetGrayGainR(h_, nullptr));
    EXPECT_EQ(InPage<QSlider>(d, "112", "2103")->value(), 128);  // green 1 is the reference
    // Keep measuring while the dialog closes under running frames.
    Click(*gray, "1035");
    WaitUntil([] { return false; }, 100);
    Click(d, "2");
  });
  EXPECT_EQ(VexCam_SetImageDlg(h_, nullptr), 1);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(VexCam_GetGrayGainR(h_, nullptr), 128);  // Cancel put the gains back
}

void ExpectAllRefused(DWORD h) {
  EXPECT_EQ(VexCam_SetCameraDlg(h, nullptr), 0);
  EXPECT_EQ(VexCam_SetAnalogDlg(h, nullptr), 0);
  EXPECT_EQ(VexCam_SetImageDlg(h, nullptr), 0);
}

TEST_F(DialogApiTest, OtherThreadsThanQtsRecord4AndNoOpenCameraRecords1) {
  std::thread([this] { ExpectAllRefused(h_); }).join();
  EXPECT_EQ(Codes(), (std::vector<DWORD>{4, 4, 4}));

  VexSim_RemoveAll();
  const DWORD h = VexCam_Initialize(nullptr);
  ASSERT_NE(h, 0u);
  ExpectAllRefused(h);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(VexCam_GetLastError(h), 1u);
  VexCam_Release(h);
}

// The pictures of the README: every page, English and Japanese.
TEST_F(DialogApiTest, PicturesOfEveryPage) {
  for (const char* lang : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
    SetLanguage(lang);
    const std::string suffix = lang[0] == 'j' ? "-ja" : "-en";
    const bool japanese = lang[0] == 'j';
    WhenOpen([&](QDialog& d) {
      EXPECT_EQ(d.windowTitle(), japanese ? QString::fromUtf8("プロパティ") : QString("Property"));
      SaveTabs(d, "camera" + suffix);
    });
    EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 1);
    WhenOpen([&](QDialog& d) { SaveTabs(d, "analog" + suffix); });
    EXPECT_EQ(VexCam_SetAnalogDlg(h_, nullptr), 1);
    ASSERT_EQ(VexCam_SetColorMode(h_, 8), 1);
    WhenOpen([&](QDialog& d) {
      // Qt's own button texts follow the language too.
      EXPECT_EQ(Find<QPushButton>(d, "2")->text(),
                japanese ? QString::fromUtf8("キャンセル") : QString("Cancel"));
      SaveTabs(d, "image" + suffix);
    });
    EXPECT_EQ(VexCam_SetImageDlg(h_, nullptr), 1);
    ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  }
  SetLanguage("C");
}

}  // namespace
}  // namespace vexcam::test
