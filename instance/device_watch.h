#pragma once
// Posts device arrival and removal (WM_DEVICECHANGE) to the notify windows of
// instances, since nothing on Linux broadcasts them.

namespace vexcam {

class DeviceWatch {
 public:
  DeviceWatch() = default;
  ~DeviceWatch() = default;
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;
};

}  // namespace vexcam
