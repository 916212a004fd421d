#include "preview/x11_preview_window.h"

#include <X11/Xatom.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

// Last: it defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace vexcam {

namespace {

// X11 positions are signed 16-bit.
constexpr int kMaxExtent = 8192;  // larger windows would need gigabytes of image buffers
constexpr int kMinPosition = -32768;
constexpr int kMaxPosition = 32767;
constexpr int kPollMs = 50;  // events queued inside Xlib are seen at least this often

// Error hook of every connection the module opened, looked up by display.
// The hook runs inside Xlib, so it only finds the window and sets atomics.
struct HookSlot {
  std::atomic<Display*> display{nullptr};
  std::atomic<CX11PreviewWindow*> window{nullptr};
};
constexpr size_t kHookSlots = 64;
HookSlot g_hooks[kHookSlots];

bool RegisterHook(Display* display, CX11PreviewWindow* window) {
  for (HookSlot& slot : g_hooks) {
    Display* expected = nullptr;
    if (slot.display.compare_exchange_strong(expected, display)) {
      slot.window.store(window);
      return true;
    }
  }
  return false;
}

void UnregisterHook(Display* display) {
  for (HookSlot& slot : g_hooks) {
    if (slot.display.load() == display) {
      slot.window.store(nullptr);
      slot.display.store(nullptr);
    }
  }
}

// Suppresses every error of the module's connections: the default handler
// would end the process.
int ErrorHook(Display* display, xError* error, XExtCodes*, int* result) {
  for (HookSlot& slot : g_hooks) {
    if (slot.display.load() == display) {
      if (CX11PreviewWindow* w = slot.window.load())
        w->OnXError(error->errorCode, error->resourceID);
      break;
    }
  }
  *result = 0;
  return 1;
}

// Xlib's default ends the process when the connection breaks; the window just
// stops drawing. Reached only when Xlib notices the loss before the event
// thread does.
void IoErrorExit(Display*, void* window) {
  static_cast<CX11PreviewWindow*>(window)->OnConnectionLost();
}

void InitThreadsOnce() {
  static std::once_flag once;
  std::call_once(once, [] { XInitThreads(); });
}

uint32_t ChannelValue(uint8_t v, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  uint32_t scaled = bits >= 8 ? (static_cast<uint32_t>(v) * ((1u << bits) - 1u) + 127u) / 255u
                              : static_cast<uint32_t>(v) >> (8 - bits);
  return scaled << shift;
}

// One row into the image's pixel format. 32- and 16-bit least-significant
// byte first images (what a little-endian server gives a local client) get
// plain stores; anything else goes through XPutPixel.
template <class Pixel>
void StoreRow(Pixel* dst, const uint8_t* src, int width, int bitCount,
              const std::array<uint32_t, 256>& r, const std::array<uint32_t, 256>& g,
              const std::array<uint32_t, 256>& b, const std::array<uint32_t, 256>& grey,
              uint32_t opaque) {
  if (bitCount == 8) {
    for (int x = 0; x < width; ++x) dst[x] = static_cast<Pixel>(grey[src[x]]);
  } else {
    for (int x = 0; x < width; ++x, src += 3)
      dst[x] = static_cast<Pixel>(b[src[0]] | g[src[1]] | r[src[2]] | opaque);
  }
}

}  // namespace

CX11PreviewWindow::CX11PreviewWindow(Display* display) : display_(display) {}

std::unique_ptr<CX11PreviewWindow> CX11PreviewWindow::Create(const VexPreviewCreateArgs& args) {
  InitThreadsOnce();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  std::unique_ptr<CX11PreviewWindow> window(new (std::nothrow) CX11PreviewWindow(display));
  if (!window) {
    XCloseDisplay(display);
    return nullptr;
  }
  if (!window->Build(args)) return nullptr;  // the destructor closes what was opened
  return window;
}

bool CX11PreviewWindow::Build(const VexPreviewCreateArgs& args) {
  XExtCodes* codes = XAddExtension(display_);
  if (codes == nullptr || !RegisterHook(display_, this)) return false;
  XESetError(display_, codes->extension, ErrorHook);
  XSetIOErrorExitHandler(display_, IoErrorExit, this);

  int x = 0, y = 0;
  if (!Place(args, &x, &y)) return false;
  const int width = args.width;
  const int height = args.height;

  XSetWindowAttributes wa{};
  wa.background_pixel = 0;  // black in every TrueColor visual
  wa.border_pixel = 0;
  wa.event_mask = StructureNotifyMask | VisibilityChangeMask;
  window_ = XCreateWindow(display_, parent_, x, y, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixel | CWBorderPixel | CWEventMask, &wa);
  if (window_ == 0) return false;

  SetHints(args, x, y);
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  MakeLuts();

  // Any error about the window (a parent destroyed meanwhile, a refused
  // attribute) means it cannot be drawn.
  XSync(display_, False);
  if (errors_.load() != 0 || gone_.load()) return false;
  shm_ = args.useShm != 0 && XShmQueryExtension(display_);
  if (shm_) shmCompletion_ = XShmGetEventBase(display_) + ShmCompletion;
  Resize(width, height);  // a refused shared segment is an error too, but not a fatal one
  if ((surface_.load() >> 32) == 0) return false;
  const unsigned tolerated = errors_.load();
  XMapWindow(display_, window_);
  XSync(display_, False);
  if (errors_.load() != tolerated || gone_.load()) return false;
  ProcessEvents();

  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) return false;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

// The parent, visual and depth of the window, and its position: inside a
// given parent where asked (clamped to X11's range), else centred on the
// screen. False when the parent or the size cannot be used.
bool CX11PreviewWindow::Place(const VexPreviewCreateArgs& args, int* x, int* y) {
  const int screen = DefaultScreen(display_);
  const Window root = RootWindow(display_, screen);
  if (args.parent != 0) {
    XWindowAttributes pa;
    if (!XGetWindowAttributes(display_, static_cast<Window>(args.parent), &pa) ||
        pa.c_class != InputOutput) {
      return false;
    }
    parent_ = static_cast<Window>(args.parent);
    visual_ = pa.visual;
    depth_ = pa.depth;
    *x = std::clamp(args.x, kMinPosition, kMaxPosition);
    *y = std::clamp(args.y, kMinPosition, kMaxPosition);
  } else {
    parent_ = root;
    visual_ = DefaultVisual(display_, screen);
    depth_ = DefaultDepth(display_, screen);
  }
  if (visual_ == nullptr || visual_->c_class != TrueColor) return false;
  if (args.width <= 0 || args.height <= 0 || args.width > kMaxExtent || args.height > kMaxExtent)
    return false;
  if (args.parent == 0) {
    *x = std::max(0, (DisplayWidth(display_, screen) - args.width) / 2);
    *y = std::max(0, (DisplayHeight(display_, screen) - args.height) / 2);
  }
  return true;
}

// Class, title and, for a top-level window, the window manager's size hints
// and close protocol.
void CX11PreviewWindow::SetHints(const VexPreviewCreateArgs& args, int x, int y) {
  XClassHint hint;
  hint.res_name = const_cast<char*>(args.className != nullptr ? args.className : "");
  hint.res_class = hint.res_name;
  XSetClassHint(display_, window_, &hint);
  if (args.title != nullptr) XStoreName(display_, window_, args.title);
  if (args.parent == 0) {
    XSizeHints size{};
    size.flags = PPosition | PSize;
    size.x = x;
    size.y = y;
    size.width = args.width;
    size.height = args.height;
    XSetWMNormalHints(display_, window_, &size);
    deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteWindow_, 1);
  }
}

CX11PreviewWindow::~CX11PreviewWindow() {
  stop_.store(true);
  Wake();
  if (thread_.joinable()) thread_.join();
  if (lost_.load()) {
    // The server is gone: Xlib must not try to talk to it while closing.
    auto* d = reinterpret_cast<_XDisplay*>(display_);
    d->flags = d->flags | XlibDisplayIOError;
  }
  for (Buffer& b : buffers_) FreeBuffer(b);
  if (gc_ != nullptr) XFreeGC(display_, gc_);  // client memory; the request goes nowhere when lost
  if (!lost_.load()) {
    if (window_ != 0 && !gone_.load()) XDestroyWindow(display_, window_);
    XSync(display_, False);
  }
  XCloseDisplay(display_);
  UnregisterHook(display_);
  if (wakeFd_ >= 0) close(wakeFd_);
}

void CX11PreviewWindow::OnXError(int code, unsigned long resource) {
  errors_.fetch_add(1);
  if ((code == BadWindow || code == BadDrawable || code == BadMatch) &&
      (resource == window_ || resource == parent_)) {
    gone_.store(true);
  }
}

unsigned long CX11PreviewWindow::Xid() const {
  return gone_.load() || lost_.load() ? 0 : static_cast<unsigned long>(window_);
}

bool CX11PreviewWindow::Surface(int* width, int* height) const {
  if (gone_.load() || lost_.load() || !mapped_.load() || obscured_.load()) return false;
  const uint64_t s = surface_.load();
  const int w = static_cast<int>(s >> 32);
  const int h = static_cast<int>(s & 0xFFFFFFFFu);
  if (w <= 0 || h <= 0) return false;
  *width = w;
  *height = h;
  return true;
}

void CX11PreviewWindow::MakeLuts() {
  const unsigned long masks = visual_->red_mask | visual_->green_mask | visual_->blue_mask;
  opaque_ = depth_ == 32 ? static_cast<uint32_t>(~masks) : 0;
  for (int v = 0; v < 256; ++v) {
    const auto s = static_cast<uint8_t>(v);
    red_[v] = ChannelValue(s, visual_->red_mask);
    green_[v] = ChannelValue(s, visual_->green_mask);
    blue_[v] = ChannelValue(s, visual_->blue_mask);
    grey_[v] = red_[v] | green_[v] | blue_[v] | opaque_;
  }
}

// Called with mutex_ held (or before the event thread exists).
bool CX11PreviewWindow::MakeBuffer(Buffer& b, int width, int height) {
  const auto w = static_cast<unsigned>(width);
  const auto h = static_cast<unsigned>(height);
  if (shm_) {
    b.image = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                              &b.segment, w, h);
    if (b.image != nullptr) {
      const size_t bytes = static_cast<size_t>(b.image->bytes_per_line) * h;
      b.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
      void* mem =
          b.segment.shmid >= 0 ? shmat(b.segment.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
      if (mem != reinterpret_cast<void*>(-1)) {
        b.segment.shmaddr = b.image->data = static_cast<char*>(mem);
        b.segment.readOnly = True;
        const unsigned before = errors_.load();
        if (XShmAttach(display_, &b.segment)) {
          XSync(display_, False);
          b.attached = errors_.load() == before;
        }
      }
      // Both sides attached (or gave up): the segment goes when the last detaches.
      if (b.segment.shmid >= 0) shmctl(b.segment.shmid, IPC_RMID, nullptr);
      if (b.attached) return true;
      if (mem != reinterpret_cast<void*>(-1)) shmdt(mem);
      b.image->data = nullptr;
      XDestroyImage(b.image);
      b.image = nullptr;
      b.segment = XShmSegmentInfo{};
    }
    // A server that cannot attach our memory (remote, refused): plain puts.
    shm_ = false;
  }
  b.image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr, w,
                         h, 32, 0);
  if (b.image == nullptr) return false;
  b.image->data =
      static_cast<char*>(std::calloc(static_cast<size_t>(b.image->bytes_per_line) * h, 1));
  if (b.image->data == nullptr) {
    XDestroyImage(b.image);
    b.image = nullptr;
    return false;
  }
  return true;
}

void CX11PreviewWindow::FreeBuffer(Buffer& b) {
  if (b.image == nullptr) return;
  if (b.attached) {
    if (!lost_.load()) XShmDetach(display_, &b.segment);
    shmdt(b.segment.shmaddr);
    b.image->data = nullptr;
  }
  XDestroyImage(b.image);  // frees plain pixel memory too
  b.image = nullptr;
  b.attached = false;
  b.segment = XShmSegmentInfo{};
  b.stale = false;
}

// Event thread (or Build), no lock held. The buffers are taken out of use
// while they are remade, so no Xlib round trip runs under mutex_; one that the
// acquisition thread is filling is remade when it comes back.
void CX11PreviewWindow::Resize(int width, int height) {
  std::array<bool, 2> mine{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < buffers_.size(); ++i) {
      Buffer& b = buffers_[i];
      if (b.state == BufferState::kFilling) {
        b.stale = true;
      } else {
        b.state = BufferState::kReserved;
        mine[i] = true;
      }
    }
    bufferWidth_ = width;
    bufferHeight_ = height;
    surface_.store(0);
  }
  // A window grown past the limit is left undrawn rather than buffered.
  bool ok = width <= kMaxExtent && height <= kMaxExtent;
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (!mine[i]) continue;
    FreeBuffer(buffers_[i]);
    ok = ok && MakeBuffer(buffers_[i], width, height);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (mine[i]) buffers_[i].state = BufferState::kFree;
  }
  if (!ok) bufferWidth_ = bufferHeight_ = 0;
  surface_.store(static_cast<uint64_t>(bufferWidth_) << 32 | static_cast<uint32_t>(bufferHeight_));
  idle_.notify_all();
}

bool CX11PreviewWindow::Blit(const uint8_t* pixels, int width, int height, uint32_t stride,
                             int bitCount, bool bottomUp) {
  int w = 0, h = 0;
  if (pixels == nullptr || (bitCount != 8 && bitCount != 24) || !Surface(&w, &h)) return false;
  Buffer* target = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (width != bufferWidth_ || height != bufferHeight_) return false;
    for (Buffer& b : buffers_) {
      if (b.state == BufferState::kFree && b.image != nullptr) {
        target = &b;
        break;
      }
    }
    if (target == nullptr) return false;
    target->state = BufferState::kFilling;
  }
  XImage* img = target->image;
  const bool lsb = img->byte_order == LSBFirst && std::endian::native == std::endian::little;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = pixels + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride;
    char* dst = img->data + static_cast<size_t>(y) * static_cast<size_t>(img->bytes_per_line);
    if (lsb && img->bits_per_pixel == 32) {
      StoreRow(reinterpret_cast<uint32_t*>(dst), src, width, bitCount, red_, green_, blue_, grey_,
               opaque_);
    } else if (lsb && img->bits_per_pixel == 16) {
      StoreRow(reinterpret_cast<uint16_t*>(dst), src, width, bitCount, red_, green_, blue_, grey_,
               opaque_);
    } else {
      for (int x = 0; x < width; ++x) {
        const uint32_t p =
            bitCount == 8
                ? grey_[src[x]]
                : (blue_[src[3 * x]] | green_[src[3 * x + 1]] | red_[src[3 * x + 2]] | opaque_);
        XPutPixel(img, x, y, p);
      }
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    target->state = BufferState::kReady;
    target->sequence = ++sequence_;
  }
  Wake();
  return true;
}

void CX11PreviewWindow::Flush() {
  const uint32_t ticket = syncRequests_.fetch_add(1) + 1;
  Wake();
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait_for(lock, std::chrono::seconds(2), [&] {
    if (lost_.load() || gone_.load()) return true;
    const bool pending = std::any_of(buffers_.begin(), buffers_.end(), [](const Buffer& b) {
      return b.state == BufferState::kReady || b.state == BufferState::kBusy;
    });
    return !pending && syncsDone_ >= ticket;
  });
}

void CX11PreviewWindow::Wake() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

// Event thread (and Build, before the thread exists).
void CX11PreviewWindow::ProcessEvents() {
  while (!lost_.load() && XPending(display_) > 0) {
    XEvent ev;
    XNextEvent(display_, &ev);
    if (shm_ && ev.type == shmCompletion_) {
      const auto& done = reinterpret_cast<const XShmCompletionEvent&>(ev);
      std::lock_guard<std::mutex> lock(mutex_);
      for (Buffer& b : buffers_) {
        if (b.attached && b.segment.shmseg == done.shmseg && b.state == BufferState::kBusy) {
          b.state = BufferState::kFree;
        }
      }
      idle_.notify_all();
      continue;
    }
    switch (ev.type) {
      case ConfigureNotify:
        if (ev.xconfigure.window == window_) {
          pendingWidth_ = ev.xconfigure.width;
          pendingHeight_ = ev.xconfigure.height;
        }
        break;
      case MapNotify:
        if (ev.xmap.window == window_) mapped_.store(true);
        break;
      case UnmapNotify:
        if (ev.xunmap.window == window_) mapped_.store(false);
        break;
      case VisibilityNotify:
        obscured_.store(ev.xvisibility.state == VisibilityFullyObscured);
        break;
      case DestroyNotify:
        if (ev.xdestroywindow.window == window_) gone_.store(true);
        break;
      case ClientMessage:
        // The user closed the top-level window: it goes away, capture goes on.
        if (deleteWindow_ != 0 && static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow_ &&
            !gone_.load()) {
          gone_.store(true);
          XDestroyWindow(display_, window_);
          XFlush(display_);
        }
        break;
      default:
        break;
    }
  }
  if (pendingWidth_ > 0 && pendingHeight_ > 0 && !gone_.load()) {
    const uint64_t wanted =
        static_cast<uint64_t>(pendingWidth_) << 32 | static_cast<uint32_t>(pendingHeight_);
    if (wanted != surface_.load()) Resize(pendingWidth_, pendingHeight_);
    pendingWidth_ = pendingHeight_ = 0;
  }
}

void CX11PreviewWindow::PutReady() {
  std::array<bool, 2> stale{};
  Buffer* newest = nullptr;
  int width = 0, height = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    width = bufferWidth_;
    height = bufferHeight_;
    for (size_t i = 0; i < buffers_.size(); ++i) {
      Buffer& b = buffers_[i];
      if (b.state != BufferState::kReady) continue;
      if (b.stale) {
        b.state = BufferState::kReserved;
        stale[i] = true;
      } else if (newest == nullptr || b.sequence > newest->sequence) {
        newest = &b;
      }
    }
    // An older picture that was not put yet is dropped for the newer one.
    for (Buffer& b : buffers_) {
      if (b.state == BufferState::kReady && &b != newest) b.state = BufferState::kFree;
    }
    if (newest != nullptr)
      newest->state = newest->attached ? BufferState::kBusy : BufferState::kReserved;
  }
  if (newest != nullptr && !gone_.load()) {
    XImage* img = newest->image;
    const auto w = static_cast<unsigned>(img->width);
    const auto h = static_cast<unsigned>(img->height);
    if (newest->attached) {
      XShmPutImage(display_, window_, gc_, img, 0, 0, 0, 0, w, h, True);
    } else {
      XPutImage(display_, window_, gc_, img, 0, 0, 0, 0, w, h);
    }
    XFlush(display_);
  }
  bool ok = true;
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (!stale[i]) continue;
    FreeBuffer(buffers_[i]);
    ok = width > 0 && MakeBuffer(buffers_[i], width, height) && ok;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (stale[i]) buffers_[i].state = BufferState::kFree;
  }
  if (!ok) {
    bufferWidth_ = bufferHeight_ = 0;
    surface_.store(0);
  }
  if (newest != nullptr && (newest->state == BufferState::kReserved || gone_.load())) {
    newest->state = BufferState::kFree;
  }
  idle_.notify_all();
}

bool CX11PreviewWindow::ServerClosed() const {
  char c;
  const ssize_t n = recv(ConnectionNumber(display_), &c, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void CX11PreviewWindow::OnConnectionLost() { MarkLost(); }

void CX11PreviewWindow::MarkLost() {
  lost_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  for (Buffer& b : buffers_) {
    if (b.state == BufferState::kReady || b.state == BufferState::kBusy)
      b.state = BufferState::kFree;
  }
  idle_.notify_all();
}

void CX11PreviewWindow::Run() {
  // A write to a server that went away must not raise SIGPIPE in the process.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  uint32_t syncsSeen = 0;
  while (!stop_.load()) {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const bool live = !lost_.load();
    poll(live ? fds : fds + 1, live ? 2 : 1, kPollMs);
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
    }
    if (stop_.load()) break;
    if (live &&
        ((fds[0].revents & (POLLHUP | POLLERR)) || ((fds[0].revents & POLLIN) && ServerClosed()))) {
      MarkLost();
    }
    if (lost_.load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      syncsDone_ = syncRequests_.load();
      idle_.notify_all();
      continue;
    }
    ProcessEvents();
    PutReady();
    const uint32_t requested = syncRequests_.load();
    if (requested != syncsSeen) {
      syncsSeen = requested;
      XSync(display_, False);
      ProcessEvents();  // completions that the sync read
      std::lock_guard<std::mutex> lock(mutex_);
      syncsDone_ = requested;
      idle_.notify_all();
    }
  }
}

}  // namespace vexcam
