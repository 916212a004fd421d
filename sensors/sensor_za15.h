#pragma once
// Driver of the 1920 x 1080 video converter: an HD sensor on the serial bus
// (bus address 66, 16-bit addresses, 8-bit values) delivering three colour
// planes per pixel. The converter frames the image itself; the driver starts
// the sensor, records the full image as the capture area and keeps the data
// width. The camera device model selects the transfer width in the FPGA.

#include <cstdint>

#include "sensors/serial_register.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam {

class CSensorZA15 final : public CTableDrivenSensor {
 public:
  static constexpr uint16_t kRegStandby = 0x3000;
  static constexpr uint16_t kRegInputMode = 0x3001;
  // Input modes of the converter (AccessSensorParameter).
  static constexpr uint32_t kInputModes = 4;

  CSensorZA15(CControllerBase* controller, uint8_t busAddress);

  uint32_t InitSensor() override;
  // Modes 0..2: 8 bits for 0, else 16; larger modes fail.
  uint32_t SetDataBits(uint32_t mode) override;
  // The converter's input mode (0..3): operation 0 sets, 1 reads it back.
  uint32_t AccessSensorParameter(uint32_t operation, uint32_t* parameter) override;

 private:
  SerialRegister8 sensor_register_;
};

}  // namespace vexcam
