#include "camera/sensor_factory.h"

#include <new>

#include "platform/debug_log.h"
#include "sensors/sensor_mt9f001.h"
#include "sensors/sensor_za01.h"

namespace vexcam {

namespace {

template <typename Driver>
std::unique_ptr<CSensorBase> Make(CControllerBase* controller, uint8_t busAddress) {
  return std::unique_ptr<CSensorBase>(new (std::nothrow) Driver(controller, busAddress));
}

// The fallback driver stands in for every driver class not written yet.
constexpr SensorConstructor kFallback = Make<CSensorMT9F001>;
constexpr SensorConstructor kZA01 = Make<CSensorZA01>;

using D = SensorDriver;

// product id, driver, constructor, bus address, model number (0 = none).
constexpr SensorFactoryRow kRows[] = {
    {0x3020, D::kMT9F001, kFallback, 0x20, 0},  // MT9F002 when the chip probe says so
    {0x3030, D::kMT9P001, kFallback, 0x90, 0},    {0x3040, D::kMT9J001, kFallback, 0x20, 0},
    {0x3042, D::kMT9J001, kFallback, 0x20, 0},    {0x3050, D::kICX274, kFallback, 0x00, 0},
    {0x3090, D::kZA08, kFallback, 0x00, 0},       {0x30B0, D::kZA06, kFallback, 0x00, 0},
    {0x30C0, D::kZA07, kFallback, 0x00, 0},       {0x30F0, D::kIMX178, kFallback, 0x48, 0},
    {0x3100, D::kIMX174, kFallback, 0x48, 0},     {0x3110, D::kIMX183, kFallback, 0x48, 0},
    {0x3120, D::kIMX159, kFallback, 0x48, 0},     {0x3130, D::kZA15, kFallback, 0x42, 0},
    {0x3140, D::kZA05, kFallback, 0x6C, 0},       {0x3150, D::kZA03, kFallback, 0x6C, 0},
    {0x3170, D::kZA02, kFallback, 0x6C, 0},       {0x3180, D::kZA04, kFallback, 0x48, 0},
    {0x3190, D::kZA12, kFallback, 0x20, 0},       {0x31A0, D::kZA11, kFallback, 0x20, 0},
    {0x31B0, D::kIMX250, kFallback, 0x48, 59},    {0x31B4, D::kIMX264, kFallback, 0x48, 0},
    {0x31C0, D::kIMX252, kFallback, 0x48, 0},     {0x31C4, D::kIMX265, kFallback, 0x48, 0},
    {0x31D0, D::kZA13, kFallback, 0x20, 0},       {0x31E0, D::kZA09, kFallback, 0x6C, 0},
    {0x31F0, D::kIMX226, kFallback, 0x48, 0},     {0x3200, D::kZA01, kZA01, 0x48, 0},
    {0x3210, D::kZA10, kFallback, 0x20, 0},       {0x3220, D::kG1467x, kFallback, 0x6C, 105},
    {0x3260, D::kIMX990, kFallback, 0x48, 109},   {0x3270, D::kIMX990, kFallback, 0x48, 110},
    {0x3280, D::kIMX991, kFallback, 0x48, 111},   {0x3290, D::kIMX991, kFallback, 0x48, 112},
    {0x32A0, D::kIMX250, kFallback, 0x48, 113},   {0x32B0, D::kZA19, kFallback, 0x48, 61},
    {0x32C0, D::kGLUX9701, kFallback, 0x48, 114}, {0x32D0, D::kZA14, kFallback, 0x6C, 0},
    {0x32E0, D::kIMX536, kFallback, 0x48, 0},     {0x32F0, D::kIMX487, kFallback, 0x48, 0},
    {0x3300, D::kIMX273, kFallback, 0x48, 0},     {0x3310, D::kZA20, kFallback, 0x40, 116},
    {0x3320, D::kZA18, kFallback, 0x40, 117},     {0x3330, D::kZA16, kFallback, 0x40, 118},
    {0x3340, D::kZA17, kFallback, 0x40, 119},     {0x3360, D::kIMX675, kFallback, 0x48, 0},
    {0x3370, D::kIMX992, kFallback, 0x48, 129},   {0x3380, D::kIMX992, kFallback, 0x48, 130},
    {0x33A0, D::kZA21, kFallback, 0x48, 0},       {0x33B0, D::kGLUX9701, kFallback, 0x48, 114},
};

constexpr SensorFactoryRow kAnyOther{0, D::kMT9F001, kFallback, 0x20, 0};
constexpr SensorFactoryRow kChipProbeMatch{kChipProbeProductId, D::kMT9F002, kFallback, 0x20, 0};

}  // namespace

std::vector<uint16_t> FamilyProductIds() {
  std::vector<uint16_t> ids;
  for (const SensorFactoryRow& row : kRows) ids.push_back(row.productId);
  return ids;
}

const SensorFactoryRow& FindSensorRow(uint32_t productId) {
  for (const SensorFactoryRow& row : kRows) {
    if (row.productId == productId) return row;
  }
  return kAnyOther;
}

const SensorFactoryRow& ChipProbeRow() { return kChipProbeMatch; }

bool IsDriverImplemented(SensorDriver driver) {
  return driver == D::kZA01 || driver == D::kMT9F001;
}

std::unique_ptr<CSensorBase> CreateSensor(uint32_t productId, CControllerBase* controller,
                                          SensorDriver* chosen) {
  const SensorFactoryRow* row = &FindSensorRow(productId);
  if (productId == kChipProbeProductId) {
    // The chip version register: write the register address 0, read 2 bytes.
    if (controller == nullptr) return nullptr;
    const uint8_t address[2] = {0, 0};
    controller->WriteSerialBus(row->busAddress, address, 2, kSerialBusTimeoutMs);
    uint8_t version[2] = {};
    if (!controller->ReadSerialBus(row->busAddress | 1, version, 2, kSerialBusTimeoutMs)) {
      return nullptr;
    }
    if ((version[0] | (version[1] << 8)) == kChipProbeVersion) row = &kChipProbeMatch;
  }
  std::unique_ptr<CSensorBase> sensor = row->construct(controller, row->busAddress);
  if (sensor && row->modelNumber != 0) sensor->SetModelId(row->modelNumber);
  if (chosen != nullptr) *chosen = row->driver;
  VEXCAM_DEBUG(kDebugSensor, "product id 0x%04X: driver %d%s, bus address 0x%02X, model number %u",
               productId, static_cast<int>(row->driver),
               IsDriverImplemented(row->driver) ? "" : " (fallback driver stands in)",
               row->busAddress, static_cast<unsigned>(row->modelNumber));
  return sensor;
}

}  // namespace vexcam
