#pragma once
// Which USB products are cameras. Discovery reads descriptors only; a device
// is opened (and its kernel driver detached) only when it is one of these, so
// other devices behind a bridge chip of the same vendor id are left alone.
// The camera layer registers the family's product ids; the settings store can
// add more (REG_BINARY "UsbProductIds", little-endian u16 ids).

#include <cstdint>
#include <vector>

namespace vexcam::usb {

void SetCameraProductIds(std::vector<uint16_t> ids);
// Registered ids plus those listed in the settings store.
bool IsCameraProductId(uint16_t productId);

}  // namespace vexcam::usb
