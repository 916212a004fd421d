// The 2592 x 4060 camera against its simulated head: the seconds record in
// microseconds, the exposure clamps, the trigger register.
#include <limits>
#include <typeinfo>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx675.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

TEST(IMX675Factory, ClassModelNumberAndNothingProgrammedWithoutController) {
  auto sensor = CreateSensor(0x3360, nullptr);
  ASSERT_NE(sensor, nullptr);
  EXPECT_TRUE(typeid(*sensor) == typeid(CSensorIMX675));
  EXPECT_EQ(sensor->ModelNumber(), 121u);
  EXPECT_EQ(sensor->Info().orientation, 4u);
  EXPECT_EQ(sensor->SetExposureTimeEx(1.0), 0u);
  EXPECT_EQ(sensor->SetTriggerMode(1), 0u);
  double seconds = 0;
  EXPECT_EQ(sensor->GetExposureTimeEx(&seconds), 1u);
  EXPECT_DOUBLE_EQ(seconds, 0.01);
}

class IMX675Test : public DriverTest {
 protected:
  uint32_t Reg24(uint16_t low) const {
    return camera->SensorRegister(low) | camera->SensorRegister(low + 1) << 8 |
           camera->SensorRegister(low + 2) << 16;
  }
  uint32_t Exposed() const { return Reg24(0x3050) - Reg24(0x3058); }
  uint32_t Lines(CSensorIMX675& s) const {
    uint32_t lines = 0;
    EXPECT_EQ(s.GetExposureLines(&lines), 1u);
    return lines;
  }
};

TEST_F(IMX675Test, SecondsProgrammedFromWholeMicroseconds) {
  Attach(0x3360);
  CSensorIMX675 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2592, 0, 4060, 0), 1u);  // line 35.6267 us
  ASSERT_EQ(s.SetExposureTimeEx(0.5), 1u);
  EXPECT_EQ(Lines(s), 14034u);
  EXPECT_EQ(Exposed(), 14034u);
  uint32_t time = 0;
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 5000u);
  // 106.95 us is 3.002 lines, but the sensor gets 106 whole microseconds.
  ASSERT_EQ(s.SetExposureTimeEx(106.95e-6), 1u);
  EXPECT_EQ(Lines(s), 2u);
}

TEST_F(IMX675Test, ExposureClampsIntoTheRecords) {
  Attach(0x3360);
  CSensorIMX675 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2592, 0, 4060, 0), 1u);
  double seconds = 0;
  uint32_t time = 0;
  ASSERT_EQ(s.SetExposureTimeEx(100.0), 1u);
  EXPECT_EQ(s.GetExposureTimeEx(&seconds), 1u);
  EXPECT_DOUBLE_EQ(seconds, 60.0);
  EXPECT_EQ(Lines(s), 1684131u);
  for (double low : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
    ASSERT_EQ(s.SetExposureTimeEx(low), 1u);
    EXPECT_EQ(s.GetExposureTimeEx(&seconds), 1u);
    EXPECT_DOUBLE_EQ(seconds, 0.0001);
    EXPECT_EQ(s.GetExposureTime(&time), 1u);
    EXPECT_EQ(time, 1u);
    EXPECT_EQ(Lines(s), 2u);  // 100 us
  }
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 600000u);
  EXPECT_EQ(s.SetGlobalGain(481), 0u);

  ASSERT_EQ(s.SetTriggerMode(5), 1u);
  EXPECT_EQ(camera->FpgaRegister(88), 1);
  uint32_t mode = 0;
  ASSERT_EQ(s.GetTriggerMode(&mode), 1u);
  EXPECT_EQ(mode, 1u);
}

TEST(IMX675Stream, StreamsThroughTheDeviceModel) {
  ASSERT_NO_FATAL_FAILURE(StreamThroughDeviceModel({.productId = 0x3360,
                                                    .driver = SensorDriver::kIMX675,
                                                    .modelNumber = 121,
                                                    .orientation = 4}));
}

}  // namespace
}  // namespace vexcam::test
