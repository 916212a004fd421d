#pragma once
// The product-id factory: which sensor driver a camera model gets, with the
// bus address passed to its constructor and the model number set right after.
// One table, read top to bottom, one row per product id.

#include <cstdint>
#include <memory>
#include <vector>

#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

using SensorConstructor = std::unique_ptr<CSensorBase> (*)(CControllerBase* controller,
                                                           uint8_t busAddress);

struct SensorFactoryRow {
  uint16_t productId;
  SensorDriver driver;          // the driver class this product needs
  SensorConstructor construct;  // its constructor, or the fallback's until that class exists
  uint8_t busAddress;
  uint32_t modelNumber;  // passed to SetModelId after construction; 0 = none
};

// Product id whose sensor is told apart by its chip version (bus 0x20/0x21).
inline constexpr uint16_t kChipProbeProductId = 0x3020;
// Chip version (little-endian u16 read back) that selects the second driver.
inline constexpr uint16_t kChipProbeVersion = 0x012E;

// Product ids of every row: the USB products the transport treats as cameras.
std::vector<uint16_t> FamilyProductIds();
// The row of a product id; the fallback row (bus 0x20, no model number) for
// ids without a row of their own.
const SensorFactoryRow& FindSensorRow(uint32_t productId);
// The row used when the chip probe answers kChipProbeVersion.
const SensorFactoryRow& ChipProbeRow();
// True when the row's driver class exists (false: it is built with the fallback).
bool IsDriverImplemented(SensorDriver driver);

// Builds the driver of a product id with the controller (may be null) and
// calls SetModelId where the table says so. For kChipProbeProductId the chip
// version is read first; a failed read gives null. *chosen (when given)
// receives the driver class the product needs. Null on allocation failure.
std::unique_ptr<CSensorBase> CreateSensor(uint32_t productId, CControllerBase* controller,
                                          SensorDriver* chosen = nullptr);

}  // namespace vexcam
