// The 2448 x 2048 / 2048 x 1536 global-shutter group against its simulated
// cameras: the frame-length and shutter rules, the window program, the clamps.
#include <cmath>
#include <vector>

#include "camera/product_table.h"
#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx250.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

TEST(PregiusStream, EveryProductStreamsThroughTheDeviceModel) {
  const std::pair<uint16_t, SensorDriver> products[] = {{0x31B0, SensorDriver::kIMX250},
                                                        {0x32A0, SensorDriver::kIMX250},
                                                        {0x31C0, SensorDriver::kIMX252},
                                                        {0x31B4, SensorDriver::kIMX264},
                                                        {0x31C4, SensorDriver::kIMX265}};
  for (const auto& [id, driver] : products) {
    ASSERT_NO_FATAL_FAILURE(
        StreamThroughDeviceModel({.productId = id,
                                  .driver = driver,
                                  .modelNumber = CreateSensor(id, nullptr)->ModelNumber(),
                                  .orientation = 4}));
  }
}

}  // namespace
}  // namespace vexcam::test
