// Without the dialog module, or with it but no display, every dialog export
// records 4 and returns 0, the process goes on, and a running preview is
// left alone.
#include <cstdlib>
#include <vector>

#include "common/api_fixture.h"

namespace vexcam::test {
namespace {

class FallbackTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("DISPLAY");
    MakeWindows();
    AddCameras();
    ASSERT_NE(Init(), 0u);
    Codes();
  }
  void ExpectAllRefused() {
    EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 0);
    EXPECT_EQ(VexCam_SetAnalogDlg(h_, nullptr), 0);
    EXPECT_EQ(VexCam_SetImageDlg(h_, nullptr), 0);
    EXPECT_EQ(Codes(), (std::vector<DWORD>{4, 4, 4}));
  }
};

// First: a module that does not exist is not remembered as loaded.
TEST_F(FallbackTest, A_MissingModuleRecords4) {
  setenv("VEXCAM_DIALOGS_MODULE", "/nonexistent/libVexCamDialogs.so", 1);
  ExpectAllRefused();
}

#ifdef VEXCAM_DIALOGS_MODULE_PATH
TEST_F(FallbackTest, B_NoDisplayRecords4AndLeavesPreviewRunning) {
  setenv("VEXCAM_DIALOGS_MODULE", VEXCAM_DIALOGS_MODULE_PATH, 1);
  ExpectAllRefused();
  setenv("DISPLAY", ":97", 1);  // no server there
  ExpectAllRefused();
  unsetenv("DISPLAY");

  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 0, 0), 1);
  std::vector<BYTE> buffer(640 * 512 * 3);
  ASSERT_EQ(
      VexCam_CallBackPreview(h_, callback_, buffer.data(), static_cast<int>(buffer.size()), 1), 1);
  EXPECT_EQ(VexCam_SetCameraDlg(h_, nullptr), 0);
  DrainAll();
  VEXWIN_MSG m{};
  EXPECT_TRUE(NextFrame(&m));
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(Codes(), (std::vector<DWORD>{4}));
}
#endif

}  // namespace
}  // namespace vexcam::test
