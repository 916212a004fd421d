#pragma once
// The FPGA update strobe that latches window, trigger and readout changes.

#include <cstdint>

#include "transport/controller_base.h"

namespace vexcam {

// Register pulsed for a model number: 150 for 103 and 115, 108 for all
// others; 0 for 122, which has no strobe.
uint8_t UpdateStrobeRegister(uint32_t modelNumber);

// Writes 1, waits 1 ms, writes 0, waits 1 ms; a failed raise stops there.
// 0 without controller or when either write failed; 1 (nothing written) for
// a model without strobe.
uint32_t PulseUpdateStrobe(CControllerBase* controller, uint32_t modelNumber);

}  // namespace vexcam
