// The 1600 x 1200 CCD camera against its simulated head: timing-chip reads
// through the controller, exposure and gain limits, the mirror bits.
#include <typeinfo>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_icx274.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

TEST(ICX274Factory, ClassAndNoModelNumber) {
  auto sensor = CreateSensor(0x3050, nullptr);
  ASSERT_NE(sensor, nullptr);
  EXPECT_TRUE(typeid(*sensor) == typeid(CSensorICX274));
  EXPECT_EQ(sensor->ModelNumber(), 0u);
  EXPECT_EQ(sensor->Info().orientation, 0u);
  EXPECT_EQ(sensor->InitSensor(), 0u);
  uint32_t word = 0;
  EXPECT_EQ(sensor->ReadSensorRegister(0, &word), 0u);
}

TEST_F(DriverTest, ICX274ReadsTheChipThroughTheController) {
  Attach(0x3050);
  CSensorICX274 s(transport.get(), 0);
  uint32_t word = 0;
  ASSERT_EQ(s.WriteSensorRegister(0x8123, 0x4321), 1u);
  ASSERT_EQ(s.ReadSensorRegister(0x8123, &word), 1u);
  EXPECT_EQ(word, 0x4321u);
  camera->Unplug();
  EXPECT_EQ(s.ReadSensorRegister(0x8123, &word), 0u);  // no shadow answers
}

TEST_F(DriverTest, ICX274ExposureGainAndMirrorLimits) {
  Attach(0x3050);
  CSensorICX274 s(transport.get(), 0);
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto counter = [this] {
    return camera->FpgaRegister(226) | camera->FpgaRegister(227) << 8;
  };
  EXPECT_EQ(counter(), 312);  // 10 ms of 32 us lines
  uint32_t time = 0, lines = 0, word = 0;
  ASSERT_EQ(s.SetExposureTime(0), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 1u);
  EXPECT_EQ(counter(), 3);
  ASSERT_EQ(s.SetExposureTime(50000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 20000u);
  EXPECT_EQ(counter(), 62500);
  ASSERT_EQ(s.SetExposureLines(70000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 65535u);
  EXPECT_EQ(counter(), 65535);

  EXPECT_EQ(s.SetGlobalGain(1024), 0u);
  ASSERT_EQ(s.SetGlobalGain(1023), 1u);
  ASSERT_EQ(s.ReadSensorRegister(5, &word), 1u);
  EXPECT_EQ(word, 1023u);

  ASSERT_EQ(s.SetMirrorV(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 2);
  ASSERT_EQ(s.SetMirrorH(1), 1u);
  ASSERT_EQ(s.SetMirrorV(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 1);
}

TEST(ICX274Stream, StreamsThroughTheDeviceModel) {
  ASSERT_NO_FATAL_FAILURE(StreamThroughDeviceModel(
      {.productId = 0x3050, .driver = SensorDriver::kICX274, .modelNumber = 0, .orientation = 0}));
}

}  // namespace
}  // namespace vexcam::test
