// The 1440 x 1080 / 2848 x 2848 global-shutter group against its simulated
// cameras: exposure in lines and seconds, the held frame registers, the window.
#include <cmath>
#include <limits>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx273.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

TEST(GlobalShutterStream, EveryProductStreamsThroughTheDeviceModel) {
  const std::pair<uint16_t, SensorDriver> products[] = {{0x3300, SensorDriver::kIMX273},
                                                        {0x32F0, SensorDriver::kIMX487},
                                                        {0x32E0, SensorDriver::kIMX536}};
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
