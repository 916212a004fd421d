#include <gtest/gtest.h>

#include "fake_controller.h"
#include "sensors/frame_geometry.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"
#include "sensors/sensor_za01.h"

namespace vexcam {
namespace {

using test::FakeController;

TEST(SensorBaseDefaults, EveryOperationAnswersNotSupported) {
  FakeController fake;
  CSensorBase base(&fake, 72);
  EXPECT_EQ(base.GetCorrectionMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.GetOutputMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.IsColorModeSupported(), 1u);
  EXPECT_EQ(base.IsBinningSupported(), 1u);
  EXPECT_EQ(base.IsSubSampleSupported(), 1u);
  EXPECT_EQ(base.GetModeFlags(), 15u);
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
  // Nothing reached the hardware.
  EXPECT_TRUE(fake.fpgaWrites.empty());
  EXPECT_TRUE(fake.busWrites.empty());
}

TEST(SensorBaseDefaults, RecordGettersWriteTheFieldAndReturnSupportedFlag) {
  CSensorBase base(nullptr, 0);
  uint32_t v = 77;
  EXPECT_EQ(base.GetAnalogGainMax(&v), 0u);
  EXPECT_EQ(v, 0u);
  v = 77;
  EXPECT_EQ(base.GetGainModeCurrent(&v), 0u);
  EXPECT_EQ(v, 0u);
  double s = 5.0;
  EXPECT_EQ(base.GetExposureTimeExMax(&s), 0u);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(base.GetAnalogGain(nullptr), 0u);

  // A driver whose record marks analog gain supported reports it.
  CSensorBase za07(nullptr, 0, SensorConstantsOf(SensorDriver::kZA07));
  EXPECT_EQ(za07.IsAnalogGainSupported(), 1u);
  EXPECT_EQ(za07.GetAnalogGainDefault(&v), 1u);
  EXPECT_EQ(v, 492u);
  EXPECT_EQ(za07.IsMirrorVSupported(), 1u);
}

TEST(SensorConstantsTable, OrientationWordsBusAddressesAndModelNumbers) {
  struct Expect {
    SensorDriver driver;
    uint32_t orientation;
    uint8_t bus;
    uint32_t model;
  };
  const Expect rows[] = {
      {SensorDriver::kZA01, 4, 72, 99},    {SensorDriver::kZA04, 2, 72, 100},
      {SensorDriver::kG1467x, 2, 108, 0},  {SensorDriver::kGLUX9701, 3, 72, 114},
      {SensorDriver::kIMX226, 4, 72, 60},  {SensorDriver::kIMX990, 4, 72, 0},
      {SensorDriver::kZA09, 0, 108, 103},  {SensorDriver::kZA14, 0, 108, 115},
      {SensorDriver::kZA21, 4, 72, 122},   {SensorDriver::kMT9F001, 0, 32, 0},
      {SensorDriver::kMT9P001, 0, 144, 0}, {SensorDriver::kZA15, 0, 66, 0},
  };
  for (const Expect& e : rows) {
    const SensorConstants& c = SensorConstantsOf(e.driver);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.orientation, e.orientation);
    EXPECT_EQ(c.busAddress, e.bus);
    EXPECT_EQ(c.modelNumber, e.model);
    // Every effective image lies inside its array.
    EXPECT_LE(c.originX + c.effectiveWidth, c.arrayWidth);
    EXPECT_LE(c.originY + c.effectiveHeight, c.arrayHeight);
  }
}

// The update strobe follows the model number: 150 for 103 and 115, none for
// 122, 108 for all others. SetTriggerMode pulses it after its one write.
TEST(UpdateStrobe, RegisterFollowsModelNumber) {
  struct Case {
    uint32_t model;
    std::vector<std::pair<uint8_t, uint8_t>> writes;
  };
  const Case cases[] = {
      {99, {{88, 1}, {108, 1}, {108, 0}}},  {103, {{88, 1}, {150, 1}, {150, 0}}},
      {115, {{88, 1}, {150, 1}, {150, 0}}}, {122, {{88, 1}}},
      {0, {{88, 1}, {108, 1}, {108, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    FakeController fake;
    CSensorZA01 sensor(&fake, 72);
    sensor.SetModelId(c.model);
    ASSERT_EQ(sensor.SetTriggerMode(5), 1u);
    EXPECT_EQ(fake.fpgaWrites, c.writes);
  }
}

TEST(FrameGeometry, SizeAndCapacityFor8And16Bits) {
  // The ZA01 full window.
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(0)), 327680u);
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(1)), 655360u);
  EXPECT_EQ(FrameCapacityBytes(640, 512, 1), 491520u);  // 640 x 768, whole blocks
  EXPECT_EQ(FrameCapacityBytes(640, 512, 2), 983040u);
  // Rounded up to the next 8 KiB block.
  EXPECT_EQ(FrameCapacityBytes(160, 120, 1), 73728u);  // 248 x 288 = 71424
  EXPECT_EQ(BytesPerPixelOfMode(2), 2u);
  EXPECT_EQ(BytesPerPixelOfMode(3), 1u);
  // The largest array at 16 bits does not wrap 32 bits.
  EXPECT_EQ(FrameSizeBytes(19568, 12588, 2), 492643968ull);
  EXPECT_GT(FrameSizeBytes(65535, 65535, 2), 0xFFFFFFFFull);
}

}  // namespace
}  // namespace vexcam
