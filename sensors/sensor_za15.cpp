#include "sensors/sensor_za15.h"

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

struct Write {
  uint16_t address;
  uint8_t value;
};

// Start-up of the HD sensor: 1080p at 74.25 MHz, 2200 x 1125 total.
constexpr Write kStartup[] = {
    {CSensorZA15::kRegStandby, 1},  // standby while programming
    // Window: full 1920 x 1080 readout.
    {0x3007, 0x00},
    // Total line length 2200 (0x898) and frame length 1125 (0x465).
    {0x301B, 0x98},
    {0x301C, 0x08},
    {0x3018, 0x65},
    {0x3019, 0x04},
    // 12-bit AD, parallel output, default gain and black level.
    {0x3005, 0x01},
    {0x3014, 0x00},
    {0x300A, 0xF0},
    {CSensorZA15::kRegInputMode, 0},
    {CSensorZA15::kRegStandby, 0},  // operating
};

constexpr uint32_t kSettleMs = 20;

}  // namespace

CSensorZA15::CSensorZA15(CControllerBase* controller, uint8_t busAddress)
    : CTableDrivenSensor(controller, busAddress, SensorDriver::kZA15),
      sensor_register_(controller, busAddress) {}

uint32_t CSensorZA15::InitSensor() {
  for (const Write& w : kStartup) {
    if (sensor_register_.Write(w.address, w.value) == 0) return 0;
  }
  WaitMs(kSettleMs);
  // The converter always delivers its full image.
  info_.areaX = 0;
  info_.areaY = 0;
  info_.areaWidth = info_.effectiveWidth;
  info_.areaHeight = info_.effectiveHeight;
  info_.areaFlag = 0;
  info_.bitsPerPixel = 8;
  return 1;
}

uint32_t CSensorZA15::SetDataBits(uint32_t mode) {
  if (mode > 2) return 0;
  info_.bitsPerPixel = mode != 0 ? 16 : 8;
  return 1;
}

uint32_t CSensorZA15::AccessSensorParameter(uint32_t operation, uint32_t* parameter) {
  if (parameter == nullptr) return 0;
  if (operation == 1) return sensor_register_.Read(kRegInputMode, parameter);
  if (operation != 0 || *parameter >= kInputModes) return 0;
  return sensor_register_.Write(kRegInputMode, *parameter);
}

}  // namespace vexcam
