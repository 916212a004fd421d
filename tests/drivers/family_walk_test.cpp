// The whole family as the camera device model sees it: every product row
// builds its own driver class with the row's bus address, model number,
// geometry and capabilities, refuses hardware work without a controller, and
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
  using D = SensorDriver;
  // What the drivers cannot do (the cooled family's binning follows its FPGA: imx990_test).
  const std::set<D> noBinning = {D::kIMX174, D::kIMX178, D::kIMX273, D::kZA14};
  const std::set<D> noSubSample = {D::kZA02,   D::kZA03,   D::kZA04,    D::kZA09,   D::kZA11,
                                   D::kZA12,   D::kZA14,   D::kZA21,    D::kIMX487, D::kIMX990,
                                   D::kIMX991, D::kIMX992, D::kGLUX9701};
  const std::set<D> ccds = {D::kZA06, D::kZA07, D::kZA08, D::kICX274};
  const std::set<D> storesWindow = {D::kZA01, D::kZA04, D::kZA06, D::kZA07,  D::kZA08,
                                    D::kZA09, D::kZA14, D::kZA21, D::kICX274};
  const std::set<D> identity = {D::kMT9F001, D::kMT9J001, D::kMT9P001, D::kZA04,
                                D::kZA09,    D::kZA14,    D::kGLUX9701};
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
    const bool cooled = dynamic_cast<const CCooledAreaSensor*>(own) != nullptr;
    if (!cooled) {
      EXPECT_EQ(i.orientation, c.orientation);
      EXPECT_EQ(sensor->IsBinningSupported(), noBinning.contains(row->driver) ? 0u : 1u);
    }
    EXPECT_EQ(sensor->IsSubSampleSupported(), noSubSample.contains(row->driver) ? 0u : 1u);
    transport.reset();

    // Without a controller nothing reaches the camera and no record changes.
    // The CCDs take any window and trigger without a register behind them;
    // the cameras framed by their FPGA or head store the window, and ZA01 its
    // exposure too (za01_test). Drivers that read an identity fail the check.
    const std::unique_ptr<CSensorBase> idle = row->construct(nullptr, row->busAddress);
    ASSERT_NE(idle, nullptr);
    const bool za01 = row->driver == D::kZA01;
    if (!za01 && row->driver != D::kZA04) {
      EXPECT_EQ(idle->InitSensor(), 0u);
    }
    EXPECT_EQ(idle->CheckSensor(), identity.contains(row->driver) ? 0u : 1u);
    EXPECT_EQ(idle->SetCaptureArea(c.originX, c.effectiveWidth, c.originY, c.effectiveHeight, 0),
              storesWindow.contains(row->driver) ? 1u : 0u);
    EXPECT_EQ(idle->SetTriggerMode(1), ccds.contains(row->driver) ? 1u : 0u);
    EXPECT_EQ(idle->SetExposureTime(100), za01 ? 1u : 0u);
    EXPECT_EQ(idle->SetExposureLines(100), za01 ? 1u : 0u);
    EXPECT_EQ(idle->SetGlobalGain(c.globalGain.maximum), 0u);
    EXPECT_EQ(idle->SetExposureTimeEx(1.0), 0u);
    EXPECT_EQ(idle->SetPeltier(1), 0u);
    uint32_t v = 0;
    EXPECT_EQ(idle->WriteSensorRegister(0, 0), 0u);
    EXPECT_EQ(idle->ReadSensorRegister(0, &v), 0u);
    double t = 0;
    EXPECT_EQ(idle->GetTemperature(&t), 0u);
    EXPECT_EQ(idle->Info().globalGain.current, c.globalGain.current);
    EXPECT_EQ(idle->Info().exposureLines.current, c.exposureLines.current);
    EXPECT_EQ(idle->Info().exposureSeconds.current, c.exposureSeconds.current);
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
