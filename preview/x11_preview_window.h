#pragma once
// The preview window on an X server: a child of an application's window or a
// top-level window, drawn from the capture engine's acquisition thread.
//
// Threads: the window has its own display connection. Create and the
// destructor run on the application's thread; in between, every Xlib call is
// made by the window's event thread, which tracks the client size and
// visibility (ConfigureNotify, Map/UnmapNotify, VisibilityNotify), puts the
// pictures (XShmPutImage, or XPutImage without MIT-SHM) and notices a lost
// server. Blit, called by the acquisition thread, only converts into a free
// image buffer and wakes the event thread: it never waits for the server.
// mutex_ guards the buffers' states and the buffer size; a thread holding it
// never waits for anything.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "preview/preview_module.h"

namespace vexcam {

class CX11PreviewWindow {
 public:
  // Null when no display can be opened, the parent is not a usable window
  // (not a window, input-only, not TrueColor) or the window cannot be made.
  static std::unique_ptr<CX11PreviewWindow> Create(const VexPreviewCreateArgs& args);
  ~CX11PreviewWindow();
  CX11PreviewWindow(const CX11PreviewWindow&) = delete;
  CX11PreviewWindow& operator=(const CX11PreviewWindow&) = delete;

  unsigned long Xid() const;
  bool Surface(int* width, int* height) const;
  bool Blit(const uint8_t* pixels, int width, int height, uint32_t stride, int bitCount,
            bool bottomUp);
  void Flush();
  bool UsesShm() const { return shm_; }

  // From the per-connection error hooks; no Xlib calls.
  void OnXError(int code, unsigned long resource);
  void OnConnectionLost();

 private:
  // kReserved: taken by the event thread while it remakes or puts the buffer.
  enum class BufferState { kFree, kFilling, kReady, kBusy, kReserved };
  struct Buffer {
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool attached = false;
    BufferState state = BufferState::kFree;
    bool stale = false;  // made for an older size; remade when handed back
    uint64_t sequence = 0;
  };

  explicit CX11PreviewWindow(Display* display);
  bool Build(const VexPreviewCreateArgs& args);
  bool Place(const VexPreviewCreateArgs& args, int* x, int* y);
  void SetHints(const VexPreviewCreateArgs& args, int x, int y);
  void MakeLuts();
  bool MakeBuffer(Buffer& buffer, int width, int height);
  void FreeBuffer(Buffer& buffer);
  void Resize(int width, int height);
  void ProcessEvents();
  void PutReady();
  void Run();
  void MarkLost();
  bool ServerClosed() const;
  void Wake();

  Display* display_;
  Window window_ = 0;
  Window parent_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  GC gc_ = nullptr;
  bool shm_ = false;
  int shmCompletion_ = -1;
  Atom deleteWindow_ = 0;
  int wakeFd_ = -1;
  std::array<uint32_t, 256> red_{}, green_{}, blue_{}, grey_{};
  uint32_t opaque_ = 0;  // bits outside the colour masks of a 32-bit depth

  // Written by the event thread (and the error hook), read by anyone.
  std::atomic<bool> mapped_{false};
  std::atomic<bool> obscured_{false};
  std::atomic<bool> gone_{false};  // window destroyed (by the user, with its parent, by an error)
  std::atomic<bool> lost_{false};  // server connection lost: Xlib is not called again
  std::atomic<uint64_t> surface_{0};  // width << 32 | height of the buffers
  std::atomic<unsigned> errors_{0};
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> syncRequests_{0};

  mutable std::mutex mutex_;
  std::condition_variable idle_;   // a buffer became free or a sync finished
  std::array<Buffer, 2> buffers_;  // states guarded by mutex_
  int bufferWidth_ = 0;            // guarded by mutex_
  int bufferHeight_ = 0;           // guarded by mutex_
  uint64_t sequence_ = 0;          // guarded by mutex_
  uint32_t syncsDone_ = 0;         // guarded by mutex_
  int pendingWidth_ = 0;           // event thread only
  int pendingHeight_ = 0;          // event thread only

  std::thread thread_;
};

}  // namespace vexcam
