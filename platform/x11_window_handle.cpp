#include "platform/x11_window_handle.h"

#include <cstdint>

namespace vexcam {

namespace {

constexpr uintptr_t kX11Tag = 0x5658310000000000ull;
constexpr uintptr_t kTagMask = 0xFFFFFFFF00000000ull;
constexpr unsigned long kMaxXid = 0x1FFFFFFFul;  // X11 resource ids have the top three bits clear

}  // namespace

HWND HandleFromX11(unsigned long xid) {
  if (xid == 0 || xid > kMaxXid) return nullptr;
  return reinterpret_cast<HWND>(kX11Tag | static_cast<uintptr_t>(xid));
}

unsigned long X11FromHandle(HWND window) {
  const auto value = reinterpret_cast<uintptr_t>(window);
  if ((value & kTagMask) != kX11Tag) return 0;
  return static_cast<unsigned long>(value & ~kTagMask);
}

}  // namespace vexcam

extern "C" {

VEXCAM_API HWND VexWin_FromX11Window(unsigned long xid) { return vexcam::HandleFromX11(xid); }

VEXCAM_API unsigned long VexWin_ToX11Window(HWND window) { return vexcam::X11FromHandle(window); }

}  // extern "C"
