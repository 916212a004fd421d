// The sensor constants table and the driver bases built on it.
#include <set>
#include <string>

#include "driver_fixture.h"
#include "sensors/frame_geometry.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam::test {
namespace {

void ExpectOrdered(const RangeRecord& r, const char* what) {
  if (r.supported == 0) return;
  SCOPED_TRACE(what);
  EXPECT_LE(r.minimum, r.defaultValue);
  EXPECT_LE(r.defaultValue, r.maximum);
  EXPECT_LE(r.minimum, r.current);
  EXPECT_LE(r.current, r.maximum);
}

TEST(SensorConstantsTable, EveryRowIsConsistent) {
  std::set<std::string> names;
  for (size_t index = 0; index < std::size(sensor_table::kRows); ++index) {
    const SensorConstants& c = sensor_table::kRows[index];
    SCOPED_TRACE(c.name);
    // One row per driver, in driver order, found again by its driver.
    EXPECT_EQ(static_cast<size_t>(c.driver), index);
    EXPECT_EQ(&SensorConstantsOf(c.driver), &c);
    EXPECT_TRUE(names.insert(c.name).second);
    EXPECT_EQ(c.busAddress & 1, 0);  // a write address
    EXPECT_GT(c.effectiveWidth, 0u);
    EXPECT_GT(c.effectiveHeight, 0u);
    // The effective image lies inside the array; IMX159's 3504 rows from row
    // 18 overhang its 3520 by two, as the camera reports them.
    EXPECT_LE(c.originX + c.effectiveWidth, c.arrayWidth);
    EXPECT_LE(c.originY + c.effectiveHeight,
              c.arrayHeight + (c.driver == SensorDriver::kIMX159) * 2);
    EXPECT_TRUE(c.bitsPerPixel == 0 || c.bitsPerPixel == 8 || c.bitsPerPixel == 12 ||
                c.bitsPerPixel == 16);
    ExpectOrdered(c.globalGain, "global gain");
    ExpectOrdered(c.exposureLines, "exposure lines");
    ExpectOrdered(c.colorGain, "colour gain");
    ExpectOrdered(c.exposureTime, "exposure time");
    ExpectOrdered(c.analogGain, "analog gain");
    ExpectOrdered(c.gainMode, "gain mode");
    for (const MirrorRecord& m : {c.mirrorV, c.mirrorH}) EXPECT_LE(m.defaultValue, 1u);
    // Window modes fit the array, differ, and include the full image that
    // InitSensor applies.
    for (const WindowMode& w : c.windowModes) {
      EXPECT_LE(w.x + w.width, c.arrayWidth);
      EXPECT_LE(w.y + w.height, c.arrayHeight);
      EXPECT_EQ(FindWindowMode(c, w.x, w.y, w.width, w.height), &w - c.windowModes.data());
    }
    if (!c.windowModes.empty()) {
      EXPECT_GE(FindWindowMode(c, c.originX, c.originY, c.effectiveWidth, c.effectiveHeight), 0);
    }
  }
}

// Any row makes a working driver base that answers from its record.
TEST(TableDrivenSensor, RecordGettersAnswerFromEveryRow) {
  using S = CTableDrivenSensor;
  for (const SensorConstants& c : sensor_table::kRows) {
    SCOPED_TRACE(c.name);
    S s(nullptr, c.busAddress, c.driver);
    uint32_t v = 0;
    EXPECT_EQ(Get(s, &CSensorBase::GetExposureLinesDefault), c.exposureLines.defaultValue);
    EXPECT_EQ(Get(s, &CSensorBase::GetGlobalGainMax), c.globalGain.maximum);
    // Current colour gains exist only where the record has them.
    EXPECT_EQ(s.GetColorGainBlue(&v), c.colorGain.supported);
    if (c.pixelClockKhz != 0 && c.lineLength != 0) {
      uint32_t minimum = 0, maximum = 0;
      s.GetExposureTimeMin(&minimum);
      s.GetExposureTimeMax(&maximum);
      EXPECT_GE(minimum, 1u);
      EXPECT_LE(minimum, maximum);
    }
    EXPECT_EQ(AreaOf(s), (Area{c.originX, c.effectiveWidth, c.originY, c.effectiveHeight, 0}));
    EXPECT_EQ(s.GetCaptureArea(&v, nullptr, &v, &v, &v), 0u);
  }
}

TEST(WindowModes, ListedWindowsOnlyOrAnyAreaInTheArray) {
  const SensorConstants& listed = SensorConstantsOf(SensorDriver::kZA01);
  for (const WindowMode& w : listed.windowModes)
    EXPECT_TRUE(AcceptsWindow(listed, w.x, w.y, w.width, w.height));
  const WindowMode& w = listed.windowModes.back();
  EXPECT_FALSE(AcceptsWindow(listed, w.x + 4, w.y, w.width, w.height));  // no program for it
  EXPECT_FALSE(AcceptsWindow(listed, -int64_t{w.x}, w.y, w.width, w.height));
  EXPECT_FALSE(AcceptsWindow(listed, INT32_MAX, 0, INT32_MAX, listed.arrayHeight));
  const SensorConstants& free = SensorConstantsOf(SensorDriver::kMT9F001);
  ASSERT_TRUE(free.windowModes.empty());
  EXPECT_TRUE(AcceptsWindow(free, 8, 4, 320, 240));
  EXPECT_FALSE(AcceptsWindow(free, 8, 0, free.arrayWidth, free.arrayHeight));  // beyond the array
  EXPECT_FALSE(AcceptsWindow(free, 0, -1, 320, 240));
}

// The base driver answers every operation "not supported" from its empty
// records and sends nothing to the camera.
TEST_F(DriverTest, SensorBaseAnswersNotSupportedAndTouchesNoHardware) {
  Attach(0x3200);
  CSensorBase base(transport.get(), 0x48);
  EXPECT_EQ(base.GetCorrectionMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.GetOutputMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.CheckSensor(), 0u);
  EXPECT_EQ(base.InitSensor(), 0u);
  EXPECT_EQ(base.SetCaptureArea(0, 640, 0, 512, 0), 0u);
  EXPECT_EQ(base.SetExposureTime(100), 0u);
  EXPECT_EQ(base.WriteSensorRegister(1, 2), 0u);
  EXPECT_EQ(base.WriteSensorRegisterVerified(1, 2), 0u);
  EXPECT_EQ(base.IsPeltierSupported(), 0u);
  double t = 0;
  EXPECT_EQ(base.GetTemperature(&t), 0u);
  base.StartMonitor();
  EXPECT_EQ(base.IsMonitorRunning(), 0u);
  EXPECT_TRUE(camera->Log().empty());

  // Record getters write the (empty) field and return its supported flag.
  uint32_t v = 77;
  EXPECT_EQ(base.GetAnalogGainMax(&v), 0u);
  EXPECT_EQ(v, 0u);
  double s = 5.0;
  EXPECT_EQ(base.GetExposureTimeExMax(&s), 0u);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(base.GetAnalogGain(nullptr), 0u);
}

TEST(FrameGeometry, SizeAndCapacityFor8And16Bits) {
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(0)), 327680u);
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(1)), 655360u);
  EXPECT_EQ(BytesPerPixelOfMode(2), 2u);
  EXPECT_EQ(BytesPerPixelOfMode(3), 1u);
  EXPECT_EQ(FrameCapacityBytes(640, 512, 2), 983040u);  // 640 x 768, whole blocks
  // Rounded up to the next 8 KiB block.
  EXPECT_EQ(FrameCapacityBytes(160, 120, 1), 73728u);  // 248 x 288 = 71424
  // The largest array at 16 bits does not wrap 32 bits.
  EXPECT_EQ(FrameSizeBytes(19568, 12588, 2), 492643968ull);
  EXPECT_GT(FrameSizeBytes(65535, 65535, 2), 0xFFFFFFFFull);
}

}  // namespace
}  // namespace vexcam::test
