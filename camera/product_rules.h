#pragma once
// Per-product constants of the camera device model: device names, the FPGA
// window and offset registers, and the products that reset the frame pipe
// between frame retries. Behaviour that differs by product beyond constants
// lives next to the operation it changes (vex_cam_u3k9_base.cpp).

#include <cstdint>

#include "sensors/sensor_base.h"

namespace vexcam {

// printf format of the device name ("%02d" = per-model number); null when the
// product has no name of its own.
const char* DeviceNameFormat(uint32_t productId);

enum class WindowRegisterSet : uint8_t {
  kStandard,   // 68/69 width, 64/65 height
  kAlternate,  // 156/157 width, 154/155 height
  kNone,       // the camera sizes the window itself
  kNoneDone,   // none, and the rest of the rebuild is skipped
};
WindowRegisterSet WindowRegistersOf(uint32_t productId);

// Offset A (FPGA 72/73) and offset B (76/77) of the capture window.
struct OffsetRegisters {
  bool present = false;
  uint32_t a = 0;
  uint32_t b = 0;
};
// mirrorV / mirrorH: the current mirror settings; binning: the driver's
// IsBinningSupported; fpga17: FPGA register 17 (read only for products that
// need it, see NeedsFpga17).
OffsetRegisters OffsetRegistersOf(uint32_t productId, const SensorInfo& info, uint32_t binning,
                                  uint32_t fpga17);
bool NeedsFpga17(uint32_t productId);

// Products whose frame retries reset pipe 0x81 (header loop, command loop).
bool ResetsPipeOnRetry(uint32_t productId);
bool ResetsPipeOnCommandRetry(uint32_t productId);
// Products that read frames through memory commands instead of headers.
bool UsesCommandFrames(uint32_t productId);
// The cooled-area family (0x3260..0x3290).
bool IsCooledAreaFamily(uint32_t productId);
// Products whose driver needs SetDataBits before the general data-width step.
bool ForwardsDataBits(uint32_t productId);
// Whether the data width is FPGA register 60 (or the command byte).
bool HasGeneralDataWidth(uint32_t productId);
// The CCD models, shut down register by register at close.
bool IsCcdModel(uint32_t productId);

}  // namespace vexcam
