#include "sensors/sensor_mt9f002.h"

#include "sensors/sensor_mt9f001.h"

namespace vexcam {

namespace {

constexpr ProgramStep W(uint16_t address, uint16_t value) { return WriteStep(address, value); }

// Clock dividers and multiplier, 0x0300 to 0x030A: 96 MHz pixel clock.
constexpr uint16_t kPll[] = {4, 1, 2, 0x40, 12, 1};
// The start of the sequencer program; this revision runs it from ROM.
constexpr uint16_t kSequencerRomStart = 0x00C0;

// Start-up list up to the settings that the driver applies itself.
constexpr ProgramStep kStartup[] = {
    // Reset, then the serial interface in standby.
    W(0x301A, 0x0001),
    WaitStep(100),
    W(0x301A, 0x10D0),
    W(0x301A, 0x10D8),
    W(0x3044, 0x0590),
    // Clock set-up, 12-bit data, a soft reset to latch the PLL.
    BlockStep(0x0300, kPll),
    W(0x0112, 0x0C0C),
    W(0x0103, 1),
    WaitStep(1),
    W(0x301A, 0x10D8),
    // Analog tuning of the second revision.
    W(0x31AE, 0x0301),
    W(0x3ED2, 0xAF60),
    W(0x3EDA, 0x4C20),
    W(0x3EE4, 0x630D),
    W(0x3EE8, 0x0046),
    W(0x3EEA, 0x0C40),
    // Sequencer from ROM and its controls.
    W(0x3D00, kSequencerRomStart),
    W(0x301E, 0x00A8),
    W(0x306E, 0x9080),
    W(0x3016, 0x0101),
    // Per-channel data pedestal and digital gains.
    FillStep(0x0206, 0x0010, 4),
    FillStep(0x020E, 0x0100, 4),
    // Streaming on.
    W(0x301A, CMt9FamilySensor::kResetStreaming),
};

}  // namespace

CSensorMT9F002::CSensorMT9F002(CControllerBase* controller, uint8_t busAddress)
    : CMt9FamilySensor(controller, busAddress, SensorDriver::kMT9F002, CSensorMT9F001::kTiming) {}

uint32_t CSensorMT9F002::InitSensor() { return StartUp(kStartup); }

void CSensorMT9F002::StartStream() { WriteSensorRegister(kRegResetControl, kResetStreaming); }

void CSensorMT9F002::StopStream() { WriteSensorRegister(kRegResetControl, kResetStandby); }

}  // namespace vexcam
