#pragma once
// The product-id factory: builds the sensor driver a product's row names,
// with the row's bus address and model number.

#include <cstdint>
#include <memory>

#include "camera/product_table.h"
#include "sensors/sensor_base.h"

namespace vexcam {

// Builds the driver of a product id with the controller (may be null) and
// calls SetModelId where the row says so. For a chip-probe row the chip
// version is read first; a failed read gives null. *chosen (when given)
// receives the driver class the product needs. Null on allocation failure.
std::unique_ptr<CSensorBase> CreateSensor(uint32_t productId, CControllerBase* controller,
                                          SensorDriver* chosen = nullptr);

}  // namespace vexcam
