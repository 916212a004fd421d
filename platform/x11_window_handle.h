#pragma once

#include "vexcam/VexCamWindow.h"

namespace vexcam {

// Window handles that stand for X11 windows: a tag in the high bits (apart
// from the message windows' range) and the X11 id, which is at most 29 bits,
// in the low ones. Never a pointer, never looked up.
HWND HandleFromX11(unsigned long xid);
// The X11 id of such a handle; 0 for any other handle.
unsigned long X11FromHandle(HWND window);

}  // namespace vexcam
