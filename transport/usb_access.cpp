#include "transport/usb_access.h"

#include <cstdio>

namespace vexcam::usb {

std::string MakeDevicePath(uint16_t vendorId, uint16_t productId, const std::string& location) {
  char head[32];
  std::snprintf(head, sizeof(head), "\\\\?\\usb#vid_%04x&pid_%04x#", vendorId, productId);
  return std::string(head) + location + "#" + kInterfaceGuidText;
}

}  // namespace vexcam::usb
