/* The interface between the core library and the preview module
 * (libVexCamPreview.so). The core loads the module with dlopen the first time
 * a start needs a preview window, so the core itself never links a window
 * system. Plain C so both sides agree on the layout whatever their build. */
#ifndef VEXCAM_PREVIEW_MODULE_H
#define VEXCAM_PREVIEW_MODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VEXCAM_PREVIEW_ABI 1
#define VEXCAM_PREVIEW_ENTRY "VexPreview_GetApi"
#define VEXCAM_PREVIEW_MODULE_NAME "libVexCamPreview.so"

typedef struct VexPreviewWindow VexPreviewWindow;

typedef struct {
  /* X11 id of the parent window; 0 makes a top-level window. */
  unsigned long parent;
  /* Child: position and size inside the parent. Top-level: client size; the
   * window is centred on the screen and x, y are ignored. */
  int x, y, width, height;
  const char* title;
  /* WM_CLASS (instance and class name). */
  const char* className;
  /* 0 draws with XPutImage even when MIT-SHM is available. */
  int useShm;
} VexPreviewCreateArgs;

typedef struct {
  uint32_t abi;
  /* Opens a display connection and creates the window; NULL when there is no
   * display, the parent is not a usable window, or the window cannot be made. */
  VexPreviewWindow* (*create)(const VexPreviewCreateArgs* args);
  /* Destroys the window and closes the connection; NULL is ignored. */
  void (*destroy)(VexPreviewWindow* window);
  /* X11 id of the window; 0 once it is gone (closed by the user, destroyed
   * with its parent, server lost). */
  unsigned long (*xid)(const VexPreviewWindow* window);
  /* 1 and the client size when a picture can be drawn now: mapped, not fully
   * obscured, positive size, connection alive. 0 otherwise. Never blocks. */
  int (*surface)(VexPreviewWindow* window, int* width, int* height);
  /* Hands one picture of width x height to the window: bitCount 8 (grey) or
   * 24 (blue, green, red). bottomUp non-zero: memory row 0 is the bottom row
   * of the picture. 1 when taken, 0 when skipped (size no longer the client
   * size, previous pictures still in flight, window not drawable). Never
   * waits for the X server. */
  int (*blit)(VexPreviewWindow* window, const uint8_t* pixels, int width, int height,
              uint32_t stride, int bitCount, int bottomUp);
  /* Blocks until every picture handed over has been processed by the X
   * server (benchmarks and tests). */
  void (*flush)(VexPreviewWindow* window);
  /* 1 when pictures go through shared memory. */
  int (*usesShm)(const VexPreviewWindow* window);
} VexPreviewApi;

typedef const VexPreviewApi* (*VexPreviewGetApiFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_PREVIEW_MODULE_H */
