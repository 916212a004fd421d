#include "sensors/sensor_mt9p001.h"

namespace vexcam {

namespace {

constexpr ProgramStep W(uint16_t address, uint16_t value) { return WriteStep(address, value); }

// Clock dividers and multiplier, 0x0300 to 0x030A: 96 MHz pixel clock.
constexpr uint16_t kPll[] = {4, 1, 2, 0x40, 8, 1};

// Start-up list up to the settings that the driver applies itself; the
// exposure follows the window, which sets the line length.
constexpr ProgramStep kStartup[] = {
    // Reset, then the serial interface in standby.
    W(0x301A, 0x0001),
    WaitStep(100),
    W(0x301A, 0x10D8),
    // Clock set-up, 12-bit data.
    BlockStep(0x0300, kPll),
    W(0x0112, 0x0C0C),
    WaitStep(1),
    // Analog tuning: row noise correction and the black level target.
    W(0x3064, 0x0805),
    W(0x30D4, 0xE007),
    W(0x3044, 0x0400),
    W(0x3100, 0x0004),
    // Per-channel data pedestal and digital gains.
    FillStep(0x0206, 0x0010, 4),
    FillStep(0x020E, 0x0100, 4),
    // Streaming on.
    W(0x301A, CMt9FamilySensor::kResetStreaming),
};

constexpr uint32_t kClockMode1Khz = 16000;
constexpr uint32_t kClockMode2Khz = 80000;

}  // namespace

CSensorMT9P001::CSensorMT9P001(CControllerBase* controller, uint8_t busAddress)
    : CMt9FamilySensor(controller, busAddress, SensorDriver::kMT9P001, kTiming),
      trigger_(Channel(), {kRegResetControl, kResetStreaming, kResetTriggered}) {}

uint32_t CSensorMT9P001::InitSensor() { return StartUp(kStartup); }

uint32_t CSensorMT9P001::SetCaptureArea(uint32_t x, uint32_t width, uint32_t y, uint32_t height,
                                        uint32_t mode) {
  if (CMt9FamilySensor::SetCaptureArea(x, width, y, height, mode) == 0) return 0;
  // The window program restarts free-running frames; a trigger stays armed.
  if (trigger_.Mode() != 0) return trigger_.Rearm();
  return 1;
}

uint32_t CSensorMT9P001::SetTriggerMode(uint32_t mode) { return trigger_.Set(mode); }

uint32_t CSensorMT9P001::GetTriggerMode(uint32_t* mode) { return trigger_.Get(mode); }

uint32_t CSensorMT9P001::SetMirrorV(uint32_t on) {
  return ReadMode().WriteMirrorBit(kReadModeFlipV, on, info_.mirrorV);
}

uint32_t CSensorMT9P001::SetMirrorH(uint32_t on) {
  return ReadMode().WriteMirrorBit(kReadModeMirrorH, on, info_.mirrorH);
}

uint32_t CSensorMT9P001::GetSamplingRate(uint32_t* mode) {
  if (mode == nullptr) return 0;
  switch (info_.pixelClockKhz) {
    case kClockMode1Khz:
      *mode = 1;
      break;
    case kClockMode2Khz:
      *mode = 2;
      break;
    default:
      *mode = 0;
  }
  return 1;
}

}  // namespace vexcam
