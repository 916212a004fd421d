// Handle registry behaviour seen through the C API.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

namespace {

// Release twice fails the second time, and its codes go with the instance;
// an emptied registry starts again. (What every other export gives a
// handle that names no instance is BadInput.UnknownHandlesGiveFailureValues'.)
TEST(Handles, ReleasedHandleIsGoneForGood) {
  const DWORD h = VexCam_Initialize(nullptr);
  ASSERT_NE(h, 0u);
  // Two refused calls: one code is read here, the other is left on the stack.
  int ok = 0;
  VexCam_GetTemperature(h, &ok);
  VexCam_GetTemperature(h, &ok);
  ASSERT_NE(VexCam_GetLastError(h), 0u);
  EXPECT_EQ(VexCam_Release(h), 1);
  EXPECT_EQ(VexCam_Release(h), 0);
  EXPECT_EQ(VexCam_GetLastError(h), 0u);
  const DWORD second = VexCam_Initialize(nullptr);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(VexCam_GetLastError(second), 0u);
  EXPECT_EQ(VexCam_Release(second), 1);
}

// Each instance gets its own notify window; VexCam_Fps posts code 11 to the
// window of the instance that the lookup found, so a test can see which one.
TEST(Handles, LookupsFindEveryInstanceWhateverTheCursor) {
  HWND windows[3];
  DWORD handles[3];
  for (int i = 0; i < 3; ++i) {
    windows[i] = VexWin_CreateMessageWindow();
    handles[i] = VexCam_Initialize(windows[i]);
    ASSERT_NE(handles[i], 0u);
  }
  auto found = [&](DWORD h) {
    VexCam_Fps(h);
    int hit = -1;
    for (int i = 0; i < 3; ++i) {
      VEXWIN_MSG msg{};
      if (VexWin_PeekMessage(windows[i], &msg, TRUE) && msg.message == VEXCAM_MSG_ERROR) {
        EXPECT_EQ(msg.lParam, 11);
        EXPECT_EQ(hit, -1) << "two instances answered";
        hit = i;
      }
    }
    return hit;
  };
  DWORD unknown = handles[0] ^ handles[1] ^ handles[2] ^ 0x5A5A5A5Au;
  while (unknown == handles[0] || unknown == handles[1] || unknown == handles[2] || unknown == 0)
    ++unknown;
  // In and against the order of creation, with a miss between (-1: unknown).
  for (int i : {0, 2, 1, -1, 0, 1, 2}) EXPECT_EQ(found(i < 0 ? unknown : handles[i]), i);
  // After a release the remaining ones are still found.
  EXPECT_EQ(VexCam_Release(handles[1]), 1);
  EXPECT_EQ(found(handles[1]), -1);
  EXPECT_EQ(found(handles[2]), 2);
  EXPECT_EQ(found(handles[0]), 0);
  for (int i : {0, 2}) EXPECT_EQ(VexCam_Release(handles[i]), 1);
  for (HWND w : windows) VexWin_DestroyWindow(w);
}

TEST(Handles, ManyInstancesGetDistinctNonZeroHandles) {
  std::vector<DWORD> handles;
  std::set<DWORD> distinct;
  for (int i = 0; i < 200; ++i) {
    handles.push_back(VexCam_Initialize(nullptr));
    EXPECT_NE(handles.back(), 0u);
    distinct.insert(handles.back());
  }
  EXPECT_EQ(distinct.size(), handles.size());
  for (DWORD h : handles) EXPECT_EQ(VexCam_Release(h), 1);
}

}  // namespace
