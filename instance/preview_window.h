#pragma once
// The instance's preview window: made at a start that needs one, drawn by
// the acquisition thread after each converted frame, destroyed by Close, a
// failed start and teardown. The window itself lives in the preview module
// (loaded on first use); this class holds the drawing rules: which image is
// shown in which colour mode, the one-copy path for a window of the image's
// size, and the nearest-neighbour resampling into the display image.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "preview/preview_module.h"
#include "vexcam/VexCamTypes.h"

namespace vexcam {

class DibImage;
class ImagePipeline;

class CPreviewWindow {
 public:
  struct Placement {
    HWND parent = nullptr;          // null: top-level window
    std::array<int32_t, 4> rect{};  // x, y, width, height of a child window
    int captureWidth = 0, captureHeight = 0;
    int32_t subSampleDivisor = 1;
    const void* instance = nullptr;  // names the window class
  };

  // Null when the module cannot be loaded, no display can be opened, the
  // parent is not an X11 window (a message window, say), the rectangle has no
  // area, or the window cannot be made.
  static std::unique_ptr<CPreviewWindow> Create(const Placement& placement);
  ~CPreviewWindow();
  CPreviewWindow(const CPreviewWindow&) = delete;
  CPreviewWindow& operator=(const CPreviewWindow&) = delete;

  // The window's handle (VexWin_ToX11Window gives the id); null once the
  // window is gone.
  HWND Handle() const;
  const std::string& ClassName() const { return className_; }

  // Draws the image of colorMode, with the instance's frame lock held. Does
  // nothing while the window is hidden, has no area or is gone.
  void Draw(ImagePipeline& images, int colorMode);
  // Waits until the pictures handed over so far are on the screen.
  void Flush();

  // The nearest-neighbour rule: destination (x, y) takes source column
  // trunc(x * sx) and source row (height - 1 - trunc(y * sy)), with float
  // factors and clamped indices. Same bit count (8 or 24) on both sides.
  void Resample(const DibImage& src, DibImage& dst);

 private:
  CPreviewWindow(const VexPreviewApi* api, VexPreviewWindow* window, std::string className);

  const VexPreviewApi* api_;
  VexPreviewWindow* window_;
  std::string className_;
  std::vector<int32_t> columns_;  // source column of each destination column
};

}  // namespace vexcam
