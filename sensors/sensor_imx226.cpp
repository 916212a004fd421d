#include "sensors/sensor_imx226.h"

#include "sensors/sensor_constants.h"

namespace vexcam {

namespace {

// Start-up registers (written in standby).
constexpr ProgramStep kIMX226Setup[] = {
    // Input clock 72 MHz, two rows read out per line period.
    WriteStep(0x3090, 0x48),
    WriteStep(0x3091, 0x02),
    // Eight output lanes.
    WriteStep(0x3070, 0x03),
    // Black level 50 at 12 bits.
    WriteStep(0x3032, 0x32),
    WriteStep(0x3033, 0x00),
    WaitStep(1),
};

// (3062 rows + 102) / 2 is the 1582-line frame of the full array.
constexpr RollingShutterTiming kIMX226Timing = {.blankingLines = 102,
                                                .rowsPerLine = 2,
                                                .verifiedWrites = true,
                                                .triggerInput = false,
                                                .setup = kIMX226Setup};

}  // namespace

CSensorIMX226::CSensorIMX226(CControllerBase* controller, uint8_t busAddress)
    : CRollingShutterSensor(controller, busAddress, SensorDriver::kIMX226, kIMX226Timing) {}

}  // namespace vexcam
