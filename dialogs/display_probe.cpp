// Whether Qt will find a display. Apart from the Qt sources: Xlib's macros
// (Bool, Status, None) clash with Qt's headers.
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

namespace vexcam::dialogs {

bool DisplayReachable() {
  // A platform other than X11 was chosen (offscreen, for one): Qt does not
  // need an X server.
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0' && std::strncmp(platform, "xcb", 3) != 0)
    return true;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace vexcam::dialogs
