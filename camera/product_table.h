#pragma once
// Everything the camera device model knows per USB product id, one row per
// product: the device name, the sensor driver the factory builds, how frames
// arrive, which FPGA registers take the window, offsets and data width, and
// the quirks of bring-up, trigger, readout speed, retries and shut-down.
// Code elsewhere switches over the rule enums of a row, never over ids.

#include <cstdint>
#include <memory>
#include <vector>

#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"

namespace vexcam {

using SensorConstructor = std::unique_ptr<CSensorBase> (*)(CControllerBase* controller,
                                                           uint8_t busAddress);

// How the transfer thread gets a frame.
enum class FramePath : uint8_t {
  kHeaders,        // frame request, 64-byte header, payload on the frame pipe
  kCommandFrames,  // memory command at address 0, payload on the frame pipe
  kAltEndpoint,    // frame request, whole frame without header on the alternate pipe
};

// Where the camera's control registers are.
enum class ControlPath : uint8_t {
  kFpgaRegisters,  // the FPGA register file
  kCommandByte,    // no FPGA register file: the command byte and the driver's alternate path
};

enum class WindowRegisterSet : uint8_t {
  kStandard,   // 68/69 width, 64/65 height
  kAlternate,  // 156/157 width, 154/155 height
  kNone,       // the camera sizes the window itself
  kNoneDone,   // none, and the rest of the rebuild is skipped
};

// Offset A (FPGA 72/73) and offset B (76/77) of the capture window.
enum class OffsetRule : uint8_t {
  kNone,
  kFixed,             // offsetA, offsetB
  kFpgaRevision,      // offsetA, offsetB from FPGA revision 19 (register 17), else zeros
  kRightMargin,       // full-area flag: 11, 0; else 12 and the margin right of the window
  kFlagSelectsA,      // 11 with the full-area flag, else 12; B is offsetB
  kWideFlagSelectsA,  // 68 for the normal area, 36 otherwise; B is offsetB
  kAreaOrigin,        // window origin plus the sensor's dark rows and columns
  kCooledArea,        // by area flag, binning, vertical mirror and full height
  kCooledLarge,       // by area flag, horizontal mirror and effective height
  kMirrorAndArea,     // by area flag, vertical mirror and whether the window is full
};

enum class DataBitsRule : uint8_t {
  kGeneral,                // FPGA register 60 (the command byte on the command-byte path)
  kForwardFirst,           // the driver's SetDataBits, then the general step
  kAlwaysWide,             // the general step, always 16 bits
  kOwnRegister,            // dataWidthRegister with dataWidthValues[mode]
  kOwnRegisterThenDriver,  // the same, and the driver is told
  kDriver,                 // the driver alone
  kNone,                   // the width is fixed: accepted without a write
};

enum class TriggerRule : uint8_t {
  kGeneral,       // the driver; FPGA status read when entering mode 1
  kNone,          // accepted without anything to do
  kMaskedFpga36,  // FPGA register 36 = mode & 0x83, no driver call
  kPrimedHeader,  // FPGA 36, the driver, then one header-only read primes the trigger
  kFpga48,        // the driver in trigger mode, FPGA register 48 gates it
  kCooledArea,    // newer FPGA: the driver after a first frame; older: general
  kDriver,        // the driver alone
  kDriverMode3,   // the driver with mode 3 for any trigger
};

enum class ReadoutRule : uint8_t {
  kNone,        // supported as the driver's firmware flag says; no register behind it
  kFpga144,     // always supported; FPGA register 144 = 15 (fast) or 8
  kFpga209,     // as the firmware flag says; bit 0 of FPGA register 209
  kSromConfig,  // always supported; the driver's value, stored in the EEPROM byte
};

enum class PipeResetRule : uint8_t {
  kNever,
  kOnRetry,         // before every retry, header and command reads
  kOnCommandRetry,  // before retries of command reads only
};

enum class RetryRule : uint8_t {
  kRetry,          // a failed frame is retried up to the loop's limit
  kNoRetryOnNext,  // in next-frame mode the first failure gives up
};

// The FPGA update strobe the transport uses while it waits for a header.
enum class StrobeRule : uint8_t {
  kPulse,  // register 108 = 1, 0
  kSleep,  // 200 ms instead
};

enum class BringUpRule : uint8_t {
  kStandard,          // CheckSensor, InitSensor
  kNone,              // nothing at all: the camera brings itself up
  kEnableSequence,    // FPGA 56 = 0, 62 = 3, 56 = 1 first
  kWakeSensor,        // a sensor that does not answer is woken first
  kAwaitFpga,         // new firmware on a capable FPGA: wait for it to be ready
  kAwaitFpgaOrReset,  // wait for the FPGA, else reset the sensor
};

// What follows the window and offset registers.
enum class WindowQuirk : uint8_t {
  kNone,
  kSettle,              // 200 ms for the sensor to take the window
  kHeightByte192,       // FPGA 64 = 192
  kHeightByte34Strobe,  // FPGA 64 = 34, then the update strobe
  kClearTransferReset,  // FPGA 104 = 0
  kStrobe,              // the update strobe
};

enum class TransferResetQuirk : uint8_t {
  kNone,
  kSkip,      // nothing to reset
  kNoStrobe,  // no update strobe
  kSettle,    // 100 ms after the reset
};

enum class ExposureRule : uint8_t {
  kDirect,          // the driver at once
  kTransferThread,  // handed to the transfer thread, which applies it between frames
};

struct ProductRow {
  uint16_t productId = 0;
  // The model name of an SDK built for this product (the build reads it from
  // the row: the library's file name, device names, the settings key).
  const char* model = nullptr;
  SensorDriver driver = SensorDriver::kMT9F001;
  SensorConstructor construct = nullptr;  // its driver class
  const char* nameFormat = nullptr;       // printf format ("%02d" = per-model number); null: none
  uint8_t busAddress = 0x20;
  uint32_t modelNumber = 0;  // passed to SetModelId after construction; 0 = none
  bool chipProbe = false;    // the chip version chooses between two drivers
  FramePath framePath = FramePath::kHeaders;
  uint32_t commandPieceBytes = 0;  // command reads in pieces of this size; 0 = one piece
  ControlPath controlPath = ControlPath::kFpgaRegisters;
  uint8_t planes = 1;
  bool bottomUpRows = false;  // rows arrive bottom-up; the module version decides the last row
  WindowRegisterSet window = WindowRegisterSet::kStandard;
  WindowQuirk windowQuirk = WindowQuirk::kNone;
  bool reappliesSameArea = false;  // an unchanged capture area is still programmed
  OffsetRule offsets = OffsetRule::kNone;
  uint16_t offsetA = 0;
  uint16_t offsetB = 0;
  DataBitsRule dataBits = DataBitsRule::kGeneral;
  uint8_t dataModes = 2;  // data-width modes accepted (0..dataModes-1)
  uint8_t dataWidthRegister = 0;
  uint8_t dataWidthValues[3] = {};
  TriggerRule trigger = TriggerRule::kGeneral;
  ReadoutRule readout = ReadoutRule::kNone;
  bool levelValue = false;  // level registers 208/210 where readout speed is supported
  ExposureRule exposure = ExposureRule::kDirect;
  RetryRule retry = RetryRule::kRetry;
  PipeResetRule pipeReset = PipeResetRule::kNever;
  StrobeRule strobe = StrobeRule::kPulse;
  BringUpRule bringUp = BringUpRule::kStandard;
  TransferResetQuirk transferReset = TransferResetQuirk::kNone;
  bool ccdShutDown = false;   // CCD models are shut down register by register at close
  bool cooledFamily = false;  // the cooled area family
};

// Chip version (little-endian u16 read back) that selects the second driver.
inline constexpr uint16_t kChipProbeVersion = 0x012E;

// The row of a product id; the fallback row (bus 0x20, no model number, no
// name) for ids without a row of their own.
const ProductRow& ProductRowOf(uint32_t productId);
// The row used when the chip probe answers kChipProbeVersion.
const ProductRow& ChipProbeRow();
// Every row, sorted by product id.
const ProductRow* ProductRowsBegin();
const ProductRow* ProductRowsEnd();
// Product ids of every row: the USB products the transport treats as cameras.
std::vector<uint16_t> FamilyProductIds();
// True when the driver's class exists (false: the fallback stands in).
bool IsDriverImplemented(SensorDriver driver);

// Offset registers of the capture window.
struct OffsetRegisters {
  bool present = false;
  uint32_t a = 0;
  uint32_t b = 0;
};
// mirrorV / mirrorH: the current mirror settings; binning: the driver's
// IsBinningSupported; fpga17: FPGA register 17 (read only where the rule
// needs it, see NeedsFpgaRevision).
OffsetRegisters OffsetRegistersOf(const ProductRow& row, const SensorInfo& info, uint32_t binning,
                                  uint32_t fpga17);
inline bool NeedsFpgaRevision(const ProductRow& row) {
  return row.offsets == OffsetRule::kFpgaRevision;
}
// Whether the general data-width step (FPGA 60 or the command byte) applies.
bool HasGeneralDataWidth(const ProductRow& row);

}  // namespace vexcam
