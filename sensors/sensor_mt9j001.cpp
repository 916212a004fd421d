#include "sensors/sensor_mt9j001.h"

#include <iterator>

namespace vexcam {

namespace {

constexpr ProgramStep W(uint16_t address, uint16_t value) { return WriteStep(address, value); }

// Clock words 0x0300..0x030A and the pixel clock they give, per sampling mode.
struct ClockMode {
  uint16_t pll[6];
  uint32_t pixelClockKhz;
};
constexpr ClockMode kClockModes[3] = {
    {{5, 2, 3, 40, 10, 2}, 32000},
    {{5, 4, 3, 40, 10, 4}, 16000},
    {{3, 1, 3, 40, 6, 1}, 80000},
};
constexpr uint32_t kStartupMode = 2;  // the row's pixel clock

// The full start-up list, up to the settings that the driver applies itself.
constexpr ProgramStep kStartup[] = {
    // Reset, then the serial interface in standby.
    W(0x301A, 0x0001),
    WaitStep(100),
    W(0x301A, 0x10D0),
    W(0x301A, 0x10D8),
    // Clock set-up (80 MHz), 12-bit data; the PLL locks within a millisecond.
    BlockStep(CSensorMT9J001::kRegPll, kClockModes[kStartupMode].pll),
    W(0x0112, 0x0C0C),
    WaitStep(1),
    // Analog tuning.
    W(0x3064, 0x0805),
    W(0x31AE, 0x0301),
    W(0x3E00, 0x0430),
    W(0x3E02, 0x3FFF),
    W(0x3E1E, 0x67CA),
    W(0x3E2A, 0xDC36),
    W(0x3ED2, 0xA8F0),
    // Per-channel data pedestal and digital gains.
    FillStep(0x0206, 0x0010, 4),
    FillStep(0x020E, 0x0100, 4),
    // Streaming on.
    W(0x301A, CMt9FamilySensor::kResetStreaming),
};

// The controller has reset the sensor and loaded its analog settings: only
// the clock, the data format and the stream remain.
constexpr ProgramStep kShortStartup[] = {
    W(0x301A, 0x10D8),
    BlockStep(CSensorMT9J001::kRegPll, kClockModes[kStartupMode].pll),
    W(0x0112, 0x0C0C),
    WaitStep(1),
    W(0x301A, CMt9FamilySensor::kResetStreaming),
};

}  // namespace

CSensorMT9J001::CSensorMT9J001(CControllerBase* controller, uint8_t busAddress)
    : CMt9FamilySensor(controller, busAddress, SensorDriver::kMT9J001, kTiming) {}

uint32_t CSensorMT9J001::PixelClockOfMode(uint32_t mode) {
  return mode < std::size(kClockModes) ? kClockModes[mode].pixelClockKhz : 0;
}

uint32_t CSensorMT9J001::InitSensor() {
  return ControllerReads() ? StartUp(kShortStartup) : StartUp(kStartup);
}

uint32_t CSensorMT9J001::ReadSensorRegister(uint32_t address, uint32_t* value) {
  if (!ControllerReads()) return CMt9FamilySensor::ReadSensorRegister(address, value);
  if (controller_ == nullptr || value == nullptr) return 0;
  uint32_t v = 0;
  if (controller_->ReadControllerValue(static_cast<uint16_t>(address), &v) == 0) return 0;
  *value = v & 0xFFFF;
  return 1;
}

uint32_t CSensorMT9J001::SetSamplingRate(uint32_t mode) {
  if (mode >= std::size(kClockModes)) return 0;
  const ClockMode& clock = kClockModes[mode];
  const ProgramStep program[] = {
      W(kRegResetControl, 0),  // stop streaming while the PLL changes
      BlockStep(kRegPll, clock.pll),
      W(kRegResetControl, kResetStreaming),
  };
  if (RunProgram(program) == 0) return 0;
  // Restarting the stream resets the readout; the shadow puts it back.
  if (ReadMode().Write(ReadMode().Value()) == 0) return 0;
  info_.pixelClockKhz = clock.pixelClockKhz;
  // The line time follows the clock: keep the exposure time, not the line count.
  SetExposureTime(info_.exposureTime.current);
  return 1;
}

uint32_t CSensorMT9J001::GetSamplingRate(uint32_t* mode) {
  if (mode == nullptr) return 0;
  uint32_t divider = 0;
  if (ReadSensorRegister(kRegSysClockDivider, &divider) == 0) return 0;
  switch (divider) {
    case 1:
      *mode = 2;
      return 1;
    case 2:
      *mode = 0;
      return 1;
    case 4:
      *mode = 1;
      return 1;
    default:
      return 0;
  }
}

}  // namespace vexcam
