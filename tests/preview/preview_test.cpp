// The preview window on a real X server (an Xvfb of the test's own): where
// the window goes, what it shows compared with VexCam_GetImage, and what
// happens when the application or the server pulls the ground away.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "api_settings/settings_fixture.h"
#include "common/xvfb_server.h"
#include "preview/preview_module.h"
#include "vexcam/VexCamLinux.h"

// After gtest: Xlib defines None, Bool and Status as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vexcam::test {
namespace {

using Clock = std::chrono::steady_clock;

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// Drawing and window changes happen on the library's own threads: polls for 3 s.
template <class Done>
bool Soon(Done&& done) {
  const auto end = Clock::now() + std::chrono::seconds(3);
  while (!done() && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// What the drawing rules make of the image VexCam_GetImage returned (top row
// first): the source picked and reduced by colour mode, then either the image
// itself (same size, not Mono 16) or nearest-neighbour resampling through the
// bottom-up display image.
std::vector<Rgb> Expected(const std::vector<uint8_t>& image, int w, int h, int bits, int cw,
                          int ch) {
  const size_t stride = (static_cast<size_t>(w) * bits / 8 + 3) & ~size_t{3};
  auto at = [&](int x, int y) -> Rgb {
    const uint8_t* p =
        image.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * bits / 8;
    switch (bits) {
      case 8:
        return {p[0], p[0], p[0]};
      case 16:
        return {p[1], p[1], p[1]};
      case 24:
        return {p[2], p[1], p[0]};
      default:
        return {p[5], p[3], p[1]};  // 48: high bytes of B, G, R
    }
  };
  std::vector<Rgb> out(static_cast<size_t>(cw) * ch);
  const bool copy = cw == w && ch == h && bits != 16;
  const float sx = static_cast<float>(w) / static_cast<float>(cw);
  const float sy = static_cast<float>(h) / static_cast<float>(ch);
  for (int y = 0; y < ch; ++y) {
    for (int x = 0; x < cw; ++x) {
      if (copy) {
        out[static_cast<size_t>(y) * cw + x] = at(x, y);
        continue;
      }
      const int dy = ch - 1 - y;  // display image row shown at window row y
      const int sxi = std::clamp(static_cast<int>(static_cast<float>(x) * sx), 0, w - 1);
      const int syi = std::clamp(h - 1 - static_cast<int>(static_cast<float>(dy) * sy), 0, h - 1);
      out[static_cast<size_t>(y) * cw + x] = at(sxi, syi);
    }
  }
  return out;
}

class PreviewTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    if (!server_.Start()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", server_.Display().c_str(), 1);
    XSetErrorHandler(IgnoreXErrors);
    x_ = XOpenDisplay(nullptr);
    ASSERT_NE(x_, nullptr);
    VexSim_SetSpeedUp(0, 50);
    AddCameras();
    MakeWindows();
    ASSERT_NE(Init(), 0u);
    Neutral();
  }
  void TearDown() override {
    if (h_ != 0) Release();
    if (x_ != nullptr && alive_) XCloseDisplay(x_);
    unsetenv("DISPLAY");
    ApiTest::TearDown();
  }

  // An application window of its own, mapped.
  Window MakeParent(int w, int h) {
    Window win = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, static_cast<unsigned>(w),
                                     static_cast<unsigned>(h), 0, 0, WhitePixel(x_, 0));
    XMapWindow(x_, win);
    XSync(x_, False);
    return win;
  }
  Window PreviewXid() { return VexWin_ToX11Window(VexWinX_GetPreviewWindow(h_)); }
  // x, y, width, height of a window ({} when there is none).
  std::vector<int> Geometry(Window w) {
    XWindowAttributes a{};
    XSync(x_, False);
    if (XGetWindowAttributes(x_, w, &a) == 0) return {};
    return {a.x, a.y, a.width, a.height};
  }

  // One triggered frame through the loop; the image it left, read back.
  std::vector<uint8_t> TriggerFrame(int bits) {
    DrainAll();
    VEXWIN_MSG m{};
    bool got = false;
    for (int i = 0; i < 50 && !got; ++i) {
      VexSim_Trigger(sim_);
      got = VexWin_GetMessage(callback_, &m, 100) && m.message == VEXCAM_MSG_FRAME && m.wParam != 0;
    }
    EXPECT_TRUE(got);
    // A trigger sent before the loop was armed may still bring a second frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    DrainAll();
    const size_t stride = (640u * static_cast<size_t>(bits) / 8 + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * 512);
    EXPECT_EQ(VexCam_GetImage(h_, image.data(), static_cast<int>(image.size()), 1), 1);
    return image;
  }
  std::vector<Rgb> Read(Window w, int cw, int ch) {
    std::vector<Rgb> px(static_cast<size_t>(cw) * ch);
    XSync(x_, False);
    XImage* img = XGetImage(x_, w, 0, 0, static_cast<unsigned>(cw), static_cast<unsigned>(ch),
                            AllPlanes, ZPixmap);
    if (img == nullptr) return {};
    for (int y = 0; y < ch; ++y) {
      for (int x = 0; x < cw; ++x) {
        const unsigned long p = XGetPixel(img, x, y);
        px[static_cast<size_t>(y) * cw + x] = {
            static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
      }
    }
    XDestroyImage(img);
    return px;
  }
  ::testing::AssertionResult ShowsSoon(Window w, const std::vector<Rgb>& want, int cw, int ch) {
    std::vector<Rgb> got;
    if (Soon([&] { return (got = Read(w, cw, ch)) == want; })) return ::testing::AssertionSuccess();
    size_t diff = 0;
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i)
      diff += got[i] == want[i] ? 0 : 1;
    return ::testing::AssertionFailure() << diff << " of " << want.size() << " pixels differ";
  }
  bool Exists(Window w) { return !Geometry(w).empty(); }
  bool WindowGoesSoon() {
    return Soon([&] { return VexWinX_GetPreviewWindow(h_) == nullptr; });
  }
  // Frames keep reaching the callback window.
  void ExpectFramesFlow() {
    DrainAll();
    VEXWIN_MSG m{};
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(NextFrame(&m));
      EXPECT_NE(m.wParam, 0u) << m.lParam;
    }
  }

  XvfbServer server_;
  Display* x_ = nullptr;
  bool alive_ = true;
};

TEST_F(PreviewTest, ChildWindowShowsWhatTheDrawingRulesMakeOfTheImage) {
  const Window parent = MakeParent(800, 600);
  struct Rect {
    int w, h;
  };
  for (int bits : {8, 16, 24, 48}) {
    for (Rect r : {Rect{640, 512}, Rect{320, 240}, Rect{700, 530}}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, " << r.w << " x " << r.h);
      ASSERT_EQ(VexCam_StopPreview(h_), 1);
      ASSERT_EQ(VexCam_SetColorMode(h_, bits), 1);
      ASSERT_EQ(VexCam_SetPreviewWindow(h_, VexWin_FromX11Window(parent), 10, 20, r.w, r.h), 1);
      ASSERT_EQ(VexCam_Trigger(h_, callback_, nullptr, 0, 1), 1)
          << ::testing::PrintToString(Codes());
      const Window child = PreviewXid();
      ASSERT_NE(child, 0u);
      EXPECT_EQ(Geometry(child), (std::vector<int>{10, 20, r.w, r.h}));
      Window root = 0, up = 0, *children = nullptr;
      unsigned count = 0;
      ASSERT_TRUE(XQueryTree(x_, child, &root, &up, &children, &count));
      if (children != nullptr) XFree(children);
      EXPECT_EQ(up, parent);

      const std::vector<uint8_t> image = TriggerFrame(bits);
      const std::vector<Rgb> want = Expected(image, 640, 512, bits, r.w, r.h);
      EXPECT_TRUE(ShowsSoon(child, want, r.w, r.h));
    }
  }
  // The class name rule as WM_CLASS; a stop leaves the window, a close removes it.
  const Window child = PreviewXid();
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(x_, child, &hint));
  const std::string name = hint.res_class;
  EXPECT_TRUE(std::regex_match(name, std::regex("VideoRenderer_[0-9a-f]{8}_[0-9a-f]{8}"))) << name;
  XFree(hint.res_name);
  XFree(hint.res_class);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(PreviewXid(), child);
  EXPECT_TRUE(Exists(child));
  ASSERT_EQ(VexCam_Close(h_), 1);
  EXPECT_EQ(PreviewXid(), 0u);
  EXPECT_FALSE(Exists(child));
}

TEST_F(PreviewTest, TopLevelWindowIsCentredAndSizedToTheImage) {
  // Any non-zero rectangle without a parent: the image's size, centred.
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 5, 5, 10, 10), 1);
  ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  const Window top = PreviewXid();
  ASSERT_NE(top, 0u);
  EXPECT_EQ(Geometry(top), (std::vector<int>{(1280 - 640) / 2, (1024 - 512) / 2, 640, 512}));
  char* title = nullptr;
  ASSERT_TRUE(XFetchName(x_, top, &title));
  EXPECT_STREQ(title, "Active Window");
  XFree(title);
  ExpectFramesFlow();
  // A release takes the window with it.
  Release();
  EXPECT_FALSE(Exists(top));

  // The user closes the window (what a window manager sends): the window
  // goes, capture goes on.
  ASSERT_NE(Init(), 0u);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 640, 512), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = PreviewXid();
  close.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
  XSendEvent(x_, close.xclient.window, False, NoEventMask, &close);
  XSync(x_, False);
  EXPECT_TRUE(WindowGoesSoon());
  ExpectFramesFlow();
  Release();

  // Sub-sampling (only from stored settings) shrinks the window with the image.
  settings_test::WriteReg({{"Camera_00", {{"SubSample", 2}}}});
  ASSERT_NE(Init(), 0u);
  ASSERT_EQ(VexCam_GetSubSample(h_), 2);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 640, 512), 1);
  ASSERT_EQ(VexCam_Preview(h_), 1);
  EXPECT_EQ(Geometry(PreviewXid()),
            (std::vector<int>{(1280 - 160) / 2, (1024 - 128) / 2, 160, 128}));
}

TEST_F(PreviewTest, ParentResizeLeavesTheChildAndTheNextFrameFillsItsClientArea) {
  const Window parent = MakeParent(800, 600);
  ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, VexWin_FromX11Window(parent), 10, 20, 320, 240), 1);
  ASSERT_EQ(VexCam_Trigger(h_, callback_, nullptr, 0, 1), 1);
  const Window child = PreviewXid();
  XResizeWindow(x_, parent, 300, 200);
  XSync(x_, False);
  EXPECT_EQ(Geometry(child), (std::vector<int>{10, 20, 320, 240}));
  // The application resizes the child itself: the picture follows.
  XResizeWindow(x_, child, 200, 150);
  XSync(x_, False);
  std::this_thread::sleep_for(
      std::chrono::milliseconds(200));  // the library's connection sees the change
  const std::vector<uint8_t> image = TriggerFrame(24);
  EXPECT_TRUE(ShowsSoon(child, Expected(image, 640, 512, 24, 200, 150), 200, 150));
}

// No parent and an all-zero rectangle (no window at all) and no display:
// tests/api_capture/capture_modes_test.cpp.
TEST_F(PreviewTest, StartsWithoutAUsableWindowRecordFour) {
  const Window parent = MakeParent(400, 300);
  const Window notAWindow =
      XCreatePixmap(x_, parent, 8, 8, static_cast<unsigned>(DefaultDepth(x_, 0)));
  XSync(x_, False);
  HWND message = VexWin_CreateMessageWindow();
  struct Case {
    HWND parent;
    int w, h;
  };
  for (Case c :
       {Case{message, 100, 100}, Case{VexWin_FromX11Window(notAWindow), 100, 100},
        Case{VexWin_FromX11Window(0x1ffff00), 100, 100},
        Case{VexWin_FromX11Window(parent), -5, 100}, Case{VexWin_FromX11Window(parent), 100, 0},
        Case{VexWin_FromX11Window(parent), 1 << 30, 100}}) {
    ASSERT_EQ(VexCam_SetPreviewWindow(h_, c.parent, 0, 0, c.w, c.h), 1);
    EXPECT_EQ(VexCam_Preview(h_), 0);
    EXPECT_EQ(Codes(), std::vector<DWORD>{VEXCAM_ERR_NO_WINDOW});
    EXPECT_EQ(VexWinX_GetPreviewWindow(h_), nullptr);
  }
  VexWin_DestroyWindow(message);
  EXPECT_EQ(VexWin_ToX11Window(message), 0u);
  EXPECT_EQ(VexWin_FromX11Window(0), nullptr);
}

TEST_F(PreviewTest, ParentDestroyedWhileDrawingStopsOnlyTheDrawing) {
  const Window parent = MakeParent(800, 600);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, VexWin_FromX11Window(parent), 0, 0, 320, 240), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  ExpectFramesFlow();
  XDestroyWindow(x_, parent);
  XSync(x_, False);
  ExpectFramesFlow();
  EXPECT_TRUE(WindowGoesSoon());
  EXPECT_EQ(VexCam_Close(h_), 1);
}

TEST_F(PreviewTest, LostServerStopsTheDrawingNotTheCapture) {
  // Two instances, each with its own window.
  AddCameras();
  const DWORD second = VexCam_Initialize(nullptr);
  ASSERT_NE(second, 0u);
  ASSERT_EQ(VexCam_SetDeviceNumber(second, 1), 1);
  ASSERT_EQ(VexCam_SetColorMode(h_, 24), 1);
  ASSERT_EQ(VexCam_SetPreviewWindow(h_, nullptr, 0, 0, 640, 512), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  // Started from another thread than the one that set the window.
  std::thread([&] { EXPECT_EQ(VexCam_Preview(second), 1); }).join();
  EXPECT_NE(PreviewXid(), 0u);
  EXPECT_NE(VexWinX_GetPreviewWindow(second), nullptr);
  EXPECT_NE(VexWinX_GetPreviewWindow(second), VexWinX_GetPreviewWindow(h_));
  ExpectFramesFlow();

  XCloseDisplay(x_);
  alive_ = false;
  server_.Stop();
  ExpectFramesFlow();
  EXPECT_TRUE(WindowGoesSoon());
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  EXPECT_EQ(VexCam_Release(second), 1);
}

// The module on its own: visibility decides whether a picture is taken.
TEST_F(PreviewTest, HiddenWindowIsSkipped) {
  void* lib = dlopen(VEXCAM_PREVIEW_MODULE_PATH, RTLD_NOW);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto api = reinterpret_cast<VexPreviewGetApiFn>(dlsym(lib, VEXCAM_PREVIEW_ENTRY))();
  VexPreviewCreateArgs args{};
  args.width = 64;
  args.height = 48;
  args.className = "test";
  args.useShm = 1;
  VexPreviewWindow* w = api->create(&args);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(api->usesShm(w), 1);
  std::vector<uint8_t> grey(64 * 48, 200);
  auto waitSurface = [&](int want) {
    int cw = 0, ch = 0;
    return Soon([&] { return api->surface(w, &cw, &ch) == want; });
  };
  ASSERT_TRUE(waitSurface(1));
  EXPECT_EQ(api->blit(w, grey.data(), 64, 48, 64, 8, 0), 1);
  EXPECT_EQ(api->blit(w, grey.data(), 32, 48, 64, 8, 0), 0);  // not the client size
  api->flush(w);
  XUnmapWindow(x_, static_cast<Window>(api->xid(w)));
  XSync(x_, False);
  ASSERT_TRUE(waitSurface(0));
  EXPECT_EQ(api->blit(w, grey.data(), 64, 48, 64, 8, 0), 0);
  XMapWindow(x_, static_cast<Window>(api->xid(w)));
  XSync(x_, False);
  ASSERT_TRUE(waitSurface(1));
  EXPECT_EQ(api->blit(w, grey.data(), 64, 48, 64, 8, 0), 1);
  api->flush(w);
  const std::vector<Rgb> shown = Read(static_cast<Window>(api->xid(w)), 64, 48);
  EXPECT_EQ(shown, std::vector<Rgb>(64 * 48, Rgb{200, 200, 200}));
  api->destroy(w);
  dlclose(lib);
}

}  // namespace
}  // namespace vexcam::test
