#include "camera/sensor_factory.h"

#include "platform/debug_log.h"

namespace vexcam {

std::unique_ptr<CSensorBase> CreateSensor(uint32_t productId, CControllerBase* controller,
                                          SensorDriver* chosen) {
  const ProductRow* row = &ProductRowOf(productId);
  if (row->chipProbe) {
    // The chip version register: write the register address 0, read 2 bytes.
    if (controller == nullptr) return nullptr;
    const uint8_t address[2] = {0, 0};
    controller->WriteSerialBus(row->busAddress, address, 2, kSerialBusTimeoutMs);
    uint8_t version[2] = {};
    if (!controller->ReadSerialBus(row->busAddress | 1, version, 2, kSerialBusTimeoutMs)) {
      return nullptr;
    }
    if ((version[0] | (version[1] << 8)) == kChipProbeVersion) row = &ChipProbeRow();
  }
  std::unique_ptr<CSensorBase> sensor = row->construct(controller, row->busAddress);
  if (sensor && row->modelNumber != 0) sensor->SetModelId(row->modelNumber);
  if (chosen != nullptr) *chosen = row->driver;
  VEXCAM_DEBUG(kDebugSensor, "product id 0x%04X: driver %d%s, bus address 0x%02X, model number %u",
               productId, static_cast<int>(row->driver),
               IsDriverImplemented(row->driver) ? "" : " (fallback driver stands in)",
               row->busAddress, static_cast<unsigned>(row->modelNumber));
  return sensor;
}

}  // namespace vexcam
