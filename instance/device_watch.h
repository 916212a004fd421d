#pragma once
// Posts device arrival and removal (WM_DEVICECHANGE) to the notify windows of
// instances, since nothing on Linux broadcasts them.
//
// One DeviceWatch per instance with a notify window registers that window
// with a process-wide watcher. The watcher runs one thread while at least one
// window is registered: it enumerates the cameras every 500 ms and, for each
// device path that appeared or disappeared, posts WM_DEVICECHANGE with
// DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE (lParam 0) to every
// registered window. The thread is started with the first registration and
// joined when the last one goes.

#include "vexcam/VexCamTypes.h"

namespace vexcam {

class DeviceWatch {
 public:
  // Registers window (a live message window) with the watcher.
  explicit DeviceWatch(HWND window);
  ~DeviceWatch();  // unregisters; joins the thread when it was the last one
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  HWND Window() const { return window_; }

 private:
  HWND window_;
};

}  // namespace vexcam
