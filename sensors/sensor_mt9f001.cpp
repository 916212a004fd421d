#include "sensors/sensor_mt9f001.h"

#include <iterator>

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

constexpr uint16_t kSequencerBase = CSensorMT9F001::kSequencerBase;
constexpr uint32_t kSequencerWords = CSensorMT9F001::kSequencerWords;

// The sequencer program proper; the rest of its words is the no-op fill.
constexpr uint16_t kSequencerProgram[] = {
    0x0439, 0x47FF, 0x9CD5, 0xFFFF, 0x0818, 0x4A40, 0x0843, 0x8C20, 0x4A42, 0x08C3, 0x4E08, 0x4003,
    0x8D44, 0x1008, 0x0440, 0x8150, 0x0C41, 0x2008, 0x4A83, 0x8003, 0x4C0A, 0x0B86, 0x4001, 0x8C20,
    0x0083, 0x4E84, 0x0381, 0x4D0A, 0x0180, 0x4B81, 0x0A20, 0x8A04, 0x0C02, 0x4A80, 0x0804, 0x8C10,
    0x4B04, 0x0381, 0x4A10, 0x2408, 0x8300, 0x4C23, 0x0850, 0x7E04, 0x0300, 0x8109,
};
constexpr uint16_t kSequencerFill = 0x8179;
constexpr uint16_t kSequencerFillBase = kSequencerBase + 2 * std::size(kSequencerProgram);
constexpr uint16_t kSequencerFillWords = kSequencerWords - std::size(kSequencerProgram);

constexpr ProgramStep W(uint16_t address, uint16_t value) { return WriteStep(address, value); }

// Start-up list up to the settings that the driver applies itself.
constexpr ProgramStep kStartup[] = {
    // Reset, then streaming configuration.
    W(0x301A, 0x0001),
    WaitStep(100),
    W(0x301A, 0x10D0),
    W(0x0008, 0x0150),
    W(0x301A, 0x10D8),
    W(0x316C, 0xB468),
    W(0x3044, 0x0594),
    // Clock set-up.
    W(0x0300, 4),
    W(0x0302, 1),
    W(0x0304, 4),
    W(0x0306, 0x80),
    W(0x0308, 8),
    W(0x030A, 1),
    W(0x3064, 0x0805),
    W(0x0112, 0x0C0C),
    W(0x301A, 0x10DC),
    W(0x0103, 1),
    W(0x301A, 0x0010),
    // Analog tuning.
    W(0x31AE, 0x0301),
    W(0x3154, 0x2C00),
    W(0x3156, 0x4A80),
    W(0x30D4, 0xB400),
    W(0x3ED2, 0xAF60),
    W(0x3EE4, 0x630D),
    W(0x3EE8, 0x0046),
    // Sequencer program, its tail and the sequencer controls.
    BlockStep(kSequencerBase, kSequencerProgram),
    FillStep(kSequencerFillBase, kSequencerFill, kSequencerFillWords),
    W(0x3EC4, 0),
    W(0x3EC6, 0),
    W(0x3EC8, 0),
    W(0x3ECA, 0),
    W(0x3EDC, 0x52CF),
    W(0x3EDE, 0x2352),
    W(0x3EE0, 0xCC88),
    W(0x3EE2, 0xD163),
    W(0x301E, 0x00A8),
    W(0x0100, 0),
    W(0x306E, 0x9080),
    W(0x3176, 0),
    W(0x3178, 0),
    W(0x3178, 0),
    W(0x3016, 0x0101),
    W(0x3012, 0x0D66),
    W(0x0100, 0),
    // Per-channel data pedestal and digital gains.
    FillStep(0x0206, 0x0010, 4),
    FillStep(0x020E, 0x0100, 4),
    ReadStep(0x3026),
    W(0x3026, 0xFC7F),
    W(0x301A, 0x11DC),
    W(0x3070, 0),
};

}  // namespace

uint16_t CSensorMT9F001::SequencerWord(uint32_t index) {
  if (index < std::size(kSequencerProgram)) return kSequencerProgram[index];
  return index < kSequencerWords ? kSequencerFill : 0;
}

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t busAddress)
    : CMt9FamilySensor(controller, busAddress, SensorDriver::kMT9F001, kTiming) {}

uint32_t CSensorMT9F001::InitSensor() { return StartUp(kStartup); }

}  // namespace vexcam
