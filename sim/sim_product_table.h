#pragma once
// Per-product behaviour of the simulated camera: one row per product id.

#include <array>
#include <cstdint>

namespace vexcam::sim {

enum class FrameDelivery : uint8_t {
  kHeader,       // 0xC2 request, 64-byte header and payload on endpoint 0x81
  kAltEndpoint,  // 0xC2 request, payload without header on endpoint 0x83
  kCommand,      // "QU3R" command block at address 0, payload on endpoint 0x81
};

enum class SimModel : uint8_t {
  kGeneric,  // FPGA register file and a plain sensor register file
  kZA01,     // window origin, thermal ADC in registers 4/5, restart pulse
  kIMX990,   // cooled area cameras: sensor window and shutter, 9.3 temperature
  kIMX991,   //   the same, temperature always from the sensor
  kIMX992,   //   the same, FPGA temperature from an earlier FPGA version
  kMT9F,     // 16-bit register sensor whose chip version selects one of two drivers
  kMT9,      // 16-bit register sensor; without an FPGA window it shapes the frame
  kCcd,      // timing-chip words that cannot be read back, full-image frames
  kZA04,     // text command head behind a character port on the sensor bus
  kPregius,  // 8-bit register sensor: far-corner window, frame minus shutter exposure
  kPregiusSeconds,  // the same register file with a direct window and 24-bit shutter
  kFpgaSensor,        // sensor run by the FPGA: window origin and exposure counter in FPGA registers
  kLineScan,          //   the same, a line-scan camera (exposure counter in 0.1 ms)
  kCooledFpgaSensor,  //   the same with a thermistor-regulated cooler behind FPGA 80..84
  kConverter,         // three colour planes per pixel
  kZA09,     // FPGA-run sensor: command register 160, thermometer and line period
  kZA14,     //   the same with its own thermometer scale
  kShifted,  // sensor loaded with shifted words through FPGA registers 32..49
  kGLUX9701, // sensor link in FPGA register 33, reset loop, temperature registers 392/393
  kReadableCcd,  // CCD whose timing chip answers reads, full-image frames
};

struct FpgaPreset {
  uint8_t reg = 0;
  uint8_t value = 0;
};

struct SimProduct {
  uint16_t productId = 0;
  SimModel model = SimModel::kGeneric;
  FrameDelivery delivery = FrameDelivery::kHeader;
  // Command delivery: one command (counting a single piece) starts the whole
  // frame, sent in 16 KiB units plus one.
  bool wholeFrameAfterCommand = false;
  uint8_t sensorBusAddress = 0;  // write address; 0 = no sensor on the bus
  uint8_t sensorValueBytes = 2;  // width of one sensor register value
  uint16_t sensorChipId = 0;     // sensor register 0 at power-on
  uint32_t width = 640;          // frame size while the window registers are unset
  uint32_t height = 512;
  uint32_t pixelClockKHz = 50000;
  uint32_t lineLength = 768;                // pixel clocks per line, for the frame timing
  uint8_t statusBusAddress = 0;             // extra bus device whose reads return zeros; 0 = none
  std::array<FpgaPreset, 2> fpgaPresets{};  // power-on register values (reg 0 = unused)
};

// The row of a product id; ids without a row of their own get the fallback
// row (a 16-bit register sensor at bus address 0x20) with that id.
SimProduct LookupSimProduct(uint16_t productId);
// True when the id has a row of its own.
bool IsKnownSimProduct(uint16_t productId);

}  // namespace vexcam::sim
