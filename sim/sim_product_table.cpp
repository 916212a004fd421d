#include "sim/sim_product_table.h"

#include <iterator>

namespace vexcam::sim {
namespace {

using enum FrameDelivery;

constexpr uint8_t kMt9 = 2;             // 16-bit register values
constexpr uint8_t kByte = 1;            // 8-bit register values
constexpr uint16_t kChipId = 0x1D01;    // any non-zero identification word
constexpr uint16_t kChipMt9J = 0x2C01;  // identification word the MT9J001 driver checks
// Line-scan cameras read their line through many taps: a line takes 128 clocks.
constexpr uint32_t kLineScanClocks = 128;

// Geometry is the effective image of each camera; clocks and line lengths
// give the simulated frame period.
// clang-format off
constexpr SimProduct kProducts[] = {
    {.productId = 0x3020, .model = SimModel::kMT9F, .sensorBusAddress = 0x20, .sensorValueBytes = kMt9,
     .sensorChipId = kChipId, .width = 4608, .height = 3288, .pixelClockKHz = 96000, .lineLength = 4920},
    {.productId = 0x3030, .model = SimModel::kMT9, .sensorBusAddress = 0x90, .sensorValueBytes = kMt9,
     .sensorChipId = kChipId, .width = 2592, .height = 1944, .pixelClockKHz = 96000, .lineLength = 3330},
    {.productId = 0x3040, .model = SimModel::kMT9, .sensorBusAddress = 0x20, .sensorValueBytes = kMt9,
     .sensorChipId = kChipMt9J, .width = 3840, .height = 2752, .pixelClockKHz = 80000, .lineLength = 4436},
    {.productId = 0x3042, .model = SimModel::kMT9, .delivery = kAltEndpoint, .sensorBusAddress = 0x20,
     .sensorValueBytes = kMt9, .sensorChipId = kChipMt9J, .width = 3840, .height = 2752,
     .pixelClockKHz = 80000, .lineLength = 4436},
    {.productId = 0x3050, .model = SimModel::kReadableCcd, .width = 1600, .height = 1200, .pixelClockKHz = 60000, .lineLength = 1920},
    {.productId = 0x3090, .model = SimModel::kCcd, .width = 2336, .height = 1752, .pixelClockKHz = 60000,
     .lineLength = 2836},
    {.productId = 0x30B0, .model = SimModel::kCcd, .width = 4896, .height = 3264, .pixelClockKHz = 40000,
     .lineLength = 5396},
    {.productId = 0x30C0, .model = SimModel::kCcd, .width = 6576, .height = 4384, .pixelClockKHz = 40000,
     .lineLength = 7076},
    {.productId = 0x30F0, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 3072, .height = 2048,
     .pixelClockKHz = 364000, .lineLength = 3400},
    {.productId = 0x3100, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1920, .height = 1200,
     .pixelClockKHz = 74250, .lineLength = 2160},
    {.productId = 0x3110, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 5520, .height = 3680,
     .pixelClockKHz = 72000, .lineLength = 6020},
    {.productId = 0x3120, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 4800, .height = 3520,
     .pixelClockKHz = 36000, .lineLength = 5172},
    {.productId = 0x3130, .model = SimModel::kConverter, .sensorBusAddress = 0x42, .sensorValueBytes = kByte, .width = 1920, .height = 1080,
     .pixelClockKHz = 74250, .lineLength = 2200},
    {.productId = 0x3140, .model = SimModel::kMT9, .sensorBusAddress = 0x6C, .sensorValueBytes = kMt9, .sensorChipId = kChipId,
     .width = 1280, .height = 1024, .pixelClockKHz = 37125, .lineLength = 1280},
    {.productId = 0x3150, .model = SimModel::kFpgaSensor, .sensorBusAddress = 0x6C, .width = 640, .height = 512, .pixelClockKHz = 6250,
     .lineLength = 640},
    {.productId = 0x3170, .model = SimModel::kFpgaSensor, .sensorBusAddress = 0x6C, .width = 320, .height = 256, .pixelClockKHz = 6250,
     .lineLength = 320},
    {.productId = 0x3180, .model = SimModel::kZA04, .sensorBusAddress = 0x48, .sensorValueBytes = kByte,
     .width = 1280, .height = 1024, .pixelClockKHz = 72000, .lineLength = 1400},
    {.productId = 0x3190, .model = SimModel::kLineScan, .sensorBusAddress = 0x20, .width = 512,
     .height = 512, .pixelClockKHz = 5000, .lineLength = kLineScanClocks},
    {.productId = 0x31A0, .model = SimModel::kLineScan, .sensorBusAddress = 0x20, .width = 256,
     .height = 256, .pixelClockKHz = 5000, .lineLength = kLineScanClocks},
    {.productId = 0x31B0, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2448, .height = 2048,
     .pixelClockKHz = 54000, .lineLength = 2656},
    {.productId = 0x31B4, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2448, .height = 2048,
     .pixelClockKHz = 74250, .lineLength = 2656},
    {.productId = 0x31C0, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2048, .height = 1536,
     .pixelClockKHz = 54545, .lineLength = 2256},
    {.productId = 0x31C4, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2048, .height = 1536,
     .pixelClockKHz = 54545, .lineLength = 2256},
    {.productId = 0x31D0, .model = SimModel::kLineScan, .sensorBusAddress = 0x20, .width = 1024,
     .height = 1024, .pixelClockKHz = 5000, .lineLength = kLineScanClocks},
    {.productId = 0x31E0, .model = SimModel::kZA09, .sensorBusAddress = 0x6C, .width = 2048, .height = 2048, .pixelClockKHz = 50000,
     .lineLength = 2048, .statusBusAddress = 0x5E, .fpgaPresets = {{{19, 0x10}}}},
    {.productId = 0x31F0, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 4168, .height = 3062,
     .pixelClockKHz = 72000, .lineLength = 2368},
    {.productId = 0x3200, .model = SimModel::kZA01, .sensorBusAddress = 0x48, .sensorValueBytes = kByte,
     .width = 640, .height = 512, .pixelClockKHz = 9000, .lineLength = 640},
    {.productId = 0x3210, .model = SimModel::kLineScan, .sensorBusAddress = 0x20, .width = 2048,
     .height = 2048, .pixelClockKHz = 5000, .lineLength = kLineScanClocks},
    {.productId = 0x3220, .model = SimModel::kCooledFpgaSensor, .sensorBusAddress = 0x6C, .width = 320, .height = 256, .pixelClockKHz = 6250,
     .lineLength = 320},
    {.productId = 0x3260, .model = SimModel::kIMX990, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1280, .height = 1024,
     .pixelClockKHz = 54545, .lineLength = 1376},
    {.productId = 0x3270, .model = SimModel::kIMX990, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1280, .height = 1024,
     .pixelClockKHz = 54545, .lineLength = 1376},
    {.productId = 0x3280, .model = SimModel::kIMX991, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 640, .height = 512,
     .pixelClockKHz = 54545, .lineLength = 736},
    {.productId = 0x3290, .model = SimModel::kIMX991, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 640, .height = 512,
     .pixelClockKHz = 54545, .lineLength = 736},
    {.productId = 0x32A0, .model = SimModel::kPregius, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2448, .height = 2048,
     .pixelClockKHz = 54000, .lineLength = 2656},
    {.productId = 0x32B0, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1936, .height = 1096,
     .pixelClockKHz = 48000, .lineLength = 2016},
    {.productId = 0x32C0, .model = SimModel::kGLUX9701, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1280, .height = 1024,
     .pixelClockKHz = 37037, .lineLength = 1344, .fpgaPresets = {{{19, 9}}}},
    {.productId = 0x32D0, .model = SimModel::kZA14, .sensorBusAddress = 0x6C, .width = 2048, .height = 2048, .pixelClockKHz = 25000,
     .lineLength = 2048, .statusBusAddress = 0x5E, .fpgaPresets = {{{187, 1}}}},
    {.productId = 0x32E0, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2848, .height = 2848,
     .pixelClockKHz = 54545, .lineLength = 2856},
    {.productId = 0x32F0, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2848, .height = 2848,
     .pixelClockKHz = 54545, .lineLength = 2856},
    {.productId = 0x3300, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1440, .height = 1080,
     .pixelClockKHz = 54545, .lineLength = 2112},
    {.productId = 0x3310, .model = SimModel::kShifted, .delivery = kCommand, .wholeFrameAfterCommand = true, .width = 19568, .height = 12588, .pixelClockKHz = 50000,
     .lineLength = 19680},
    {.productId = 0x3320, .model = SimModel::kShifted, .width = 2592, .height = 2056, .pixelClockKHz = 36000, .lineLength = 5640},
    {.productId = 0x3330, .model = SimModel::kShifted, .width = 1920, .height = 1080, .pixelClockKHz = 60000, .lineLength = 1920},
    {.productId = 0x3340, .model = SimModel::kShifted, .delivery = kCommand, .width = 5688, .height = 3336, .pixelClockKHz = 60000,
     .lineLength = 7236},
    {.productId = 0x3360, .model = SimModel::kPregiusSeconds, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2592, .height = 4060,
     .pixelClockKHz = 75000, .lineLength = 2672},
    {.productId = 0x3370, .model = SimModel::kIMX992, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2560, .height = 2048,
     .pixelClockKHz = 54545, .lineLength = 2592},
    {.productId = 0x3380, .model = SimModel::kIMX992, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 2560, .height = 2048,
     .pixelClockKHz = 54545, .lineLength = 2592},
    {.productId = 0x33A0, .sensorBusAddress = 0x48, .width = 640, .height = 512, .pixelClockKHz = 54545,
     .lineLength = 736},
    {.productId = 0x33B0, .model = SimModel::kGLUX9701, .sensorBusAddress = 0x48, .sensorValueBytes = kByte, .width = 1280, .height = 1024,
     .pixelClockKHz = 37037, .lineLength = 1344, .fpgaPresets = {{{19, 9}}}},
};
// clang-format on

// Products without a row: the fallback sensor of the driver factory.
constexpr SimProduct kFallback = {.sensorBusAddress = 0x20,
                                  .sensorValueBytes = kMt9,
                                  .sensorChipId = kChipId,
                                  .width = 4608,
                                  .height = 3288,
                                  .pixelClockKHz = 96000,
                                  .lineLength = 4920};

const SimProduct* Find(uint16_t productId) {
  for (const SimProduct& p : kProducts)
    if (p.productId == productId) return &p;
  return nullptr;
}

}  // namespace

SimProduct LookupSimProduct(uint16_t productId) {
  if (const SimProduct* p = Find(productId)) return *p;
  SimProduct p = kFallback;
  p.productId = productId;
  return p;
}

bool IsKnownSimProduct(uint16_t productId) { return Find(productId) != nullptr; }

}  // namespace vexcam::sim
