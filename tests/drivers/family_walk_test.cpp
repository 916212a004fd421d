// The whole family as the camera device model sees it: every product row
// builds its own driver class with the row's bus address and model number
// and its driver's geometry, refuses hardware work without a controller, and
// streams through the camera device model (unique ids: tests/camera
// ProductTable.IdsAreUniqueSortedAndFoundAgain).
#include <set>
#include <tuple>

#include "camera/product_table.h"
#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx990.h"
#include "sensors/table_driven_sensor.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

TEST_F(DriverTest, EveryProductBuildsItsOwnDriverFromItsRows) {
  for (const ProductRow* row = ProductRowsBegin(); row != ProductRowsEnd(); ++row) {
    SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << row->productId);
    const SensorConstants& c = SensorConstantsOf(row->driver);
    ASSERT_NO_FATAL_FAILURE(Attach(row->productId));
    SensorDriver chosen = SensorDriver::kCount;
    const std::unique_ptr<CSensorBase> sensor =
        CreateSensor(row->productId, transport.get(), &chosen);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(chosen, row->driver);
    // The object is the driver's own class, not a stand-in under its name.
    const auto* own = dynamic_cast<const CTableDrivenSensor*>(sensor.get());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Row().driver, row->driver);
    EXPECT_EQ(sensor->BusAddress(), row->busAddress);
    EXPECT_EQ(sensor->ModelNumber(), row->modelNumber != 0 ? row->modelNumber : c.modelNumber);
    const SensorInfo& i = sensor->Info();
    EXPECT_EQ(std::tie(i.arrayWidth, i.arrayHeight, i.originX, i.originY, i.effectiveWidth,
                       i.effectiveHeight),
              std::tie(c.arrayWidth, c.arrayHeight, c.originX, c.originY, c.effectiveWidth,
                       c.effectiveHeight));
    // The cooled family's orientation follows the model number (imx990_test).
    if (dynamic_cast<const CCooledAreaSensor*>(own) == nullptr) {
      EXPECT_EQ(i.orientation, c.orientation);
    }
    transport.reset();

    // Without a controller register access and bring-up fail (ZA01 and ZA04
    // bring up by storing their window: za01_test).
    const std::unique_ptr<CSensorBase> idle = row->construct(nullptr, row->busAddress);
    ASSERT_NE(idle, nullptr);
    if (row->driver != SensorDriver::kZA01 && row->driver != SensorDriver::kZA04) {
      EXPECT_EQ(idle->InitSensor(), 0u);
    }
    EXPECT_EQ(idle->WriteSensorRegister(0, 0), 0u);
    double t = 0;
    EXPECT_EQ(idle->GetTemperature(&t), 0u);
  }
}

// Products whose frames come without a header stream in mt9_test and
// shifted_test; the camera the device model leaves alone (ZA21) does not.
TEST(DeviceModelStream, EveryHeaderFramedProductStreams) {
  const std::set<uint16_t> cooling = {0x3200, 0x3220, 0x3270, 0x3290, 0x3380};
  const std::set<uint16_t> temperature = {0x31E0, 0x3220, 0x3260, 0x3270, 0x3280, 0x3290,
                                          0x32C0, 0x32D0, 0x3370, 0x3380, 0x33B0};
  for (const ProductRow* row = ProductRowsBegin(); row != ProductRowsEnd(); ++row) {
    if (row->framePath != FramePath::kHeaders || row->bringUp == BringUpRule::kNone) continue;
    const std::unique_ptr<CSensorBase> sensor = row->construct(nullptr, row->busAddress);
    ASSERT_NE(sensor, nullptr);
    if (row->modelNumber != 0) sensor->SetModelId(row->modelNumber);
    // The converter (three planes) takes no exposure.
    ASSERT_NO_FATAL_FAILURE(
        StreamThroughDeviceModel({.productId = row->productId,
                                  .driver = row->driver,
                                  .modelNumber = sensor->ModelNumber(),
                                  .orientation = sensor->Info().orientation,
                                  .exposure = row->planes == 1,
                                  .temperature = temperature.contains(row->productId),
                                  .cooling = cooling.contains(row->productId)}));
  }
}

}  // namespace
}  // namespace vexcam::test
