// The 1440 x 1080 / 2848 x 2848 global-shutter group against its simulated
// cameras: exposure in lines and seconds, the held frame registers, the window.
#include <cmath>
#include <limits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx273.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;
constexpr uint16_t kHold = 0x3008;

TEST(GlobalShutterFactory, ClassModelNumberAndCapabilityAnswers) {
  struct Case {
    uint16_t productId;
    const std::type_info& type;
    uint32_t model;
    uint32_t binning;
    uint32_t subSample;
  };
  for (const Case& c : {Case{0x3300, typeid(CSensorIMX273), 128, 0, 1},
                        Case{0x32F0, typeid(CSensorIMX487), 63, 1, 0},
                        Case{0x32E0, typeid(CSensorIMX536), 62, 1, 1}}) {
    SCOPED_TRACE(c.productId);
    auto sensor = CreateSensor(c.productId, nullptr);
    ASSERT_NE(sensor, nullptr);
    EXPECT_TRUE(typeid(*sensor) == c.type);
    EXPECT_EQ(sensor->ModelNumber(), c.model);
    EXPECT_EQ(sensor->Info().orientation, 4u);
    EXPECT_EQ(sensor->IsBinningSupported(), c.binning);
    EXPECT_EQ(sensor->IsSubSampleSupported(), c.subSample);
    EXPECT_EQ(sensor->IsExposureTimeExSupported(), 1u);
    EXPECT_EQ(sensor->IsAnalogGainSupported(), 1u);
    // Without a controller nothing is programmed and the record stays.
    EXPECT_EQ(sensor->SetExposureTimeEx(1.0), 0u);
    double seconds = 0;
    EXPECT_EQ(sensor->GetExposureTimeEx(&seconds), 1u);
    EXPECT_DOUBLE_EQ(seconds, 0.01);
  }
}

class GlobalShutterTest : public DriverTest {
 protected:
  uint32_t Reg24(uint16_t low) const {
    return camera->SensorRegister(low) | camera->SensorRegister(low + 1) << 8 |
           camera->SensorRegister(low + 2) << 16;
  }
  uint32_t Frame() const { return Reg24(0x3050); }
  uint32_t Shutter() const { return Reg24(0x3058); }
};

TEST_F(GlobalShutterTest, FrameAndShutterWrittenUnderTheHoldAndTheFrameGrows) {
  Attach(0x3300);
  CSensorIMX273 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 1440, 0, 1080, 0), 1u);  // frame 1130 lines
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  // 1130 = 0x46A, shutter 130.
  const std::vector<RegWrite> held = {{kHold, 1},    {0x3050, 0x6A}, {0x3051, 4}, {0x3052, 0},
                                      {0x3058, 130}, {0x3059, 0},    {0x305A, 0}, {kHold, 0}};
  EXPECT_EQ(SensorWrites(kBus, 1), held);
  // Closer than 8 lines to the frame: the frame grows, the shutter is 8.
  ASSERT_EQ(s.SetExposureLines(1125), 1u);
  EXPECT_EQ(Frame(), 1133u);
  EXPECT_EQ(Shutter(), 8u);
  // Clamped into the lines record; the grown frame still fits 24 bits.
  uint32_t lines = 0;
  ASSERT_EQ(s.SetExposureLines(0), 1u);
  EXPECT_EQ(Frame() - Shutter(), 1u);
  ASSERT_EQ(s.SetExposureLines(0xFFFFFFFF), 1u);
  EXPECT_EQ(s.GetExposureLines(&lines), 1u);
  EXPECT_EQ(lines, 16777200u);
  EXPECT_EQ(Frame(), 16777208u);
}

TEST_F(GlobalShutterTest, SecondsRecordClampsProgramsLinesAndStoresTheRealTime) {
  Attach(0x32F0);
  CSensorIMX487 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2848, 0, 2848, 0), 1u);  // frame 2912, line 52.36 us
  uint32_t lines = 0, time = 0;
  double seconds = 0;
  ASSERT_EQ(s.SetExposureTimeEx(0.5), 1u);
  EXPECT_EQ(s.GetExposureLines(&lines), 1u);
  EXPECT_EQ(lines, 9549u);
  EXPECT_EQ(Frame(), 9557u);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 5000u);
  ASSERT_EQ(s.SetExposureTimeEx(100.0), 1u);
  EXPECT_EQ(s.GetExposureTimeEx(&seconds), 1u);
  EXPECT_DOUBLE_EQ(seconds, 60.0);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 600000u);
  for (double low : {1e-9, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    ASSERT_EQ(s.SetExposureTimeEx(low), 1u);
    EXPECT_EQ(s.GetExposureTimeEx(&seconds), 1u);
    EXPECT_DOUBLE_EQ(seconds, 0.0001);
    EXPECT_EQ(s.GetExposureTime(&time), 1u);
    EXPECT_EQ(time, 1u);
    EXPECT_EQ(s.GetExposureLines(&lines), 1u);
    EXPECT_EQ(lines, 1u);
  }
  // The tenths-of-milliseconds setter clamps too and keeps the seconds in step.
  ASSERT_EQ(s.SetExposureTime(700000), 1u);
  EXPECT_EQ(s.GetExposureTime(&time), 1u);
  EXPECT_EQ(time, 600000u);
  EXPECT_EQ(s.GetExposureTimeEx(&seconds), 1u);
  EXPECT_DOUBLE_EQ(seconds, 60.0);
}

TEST_F(GlobalShutterTest, WindowTwoByTwoReadoutGainsAndMirrors) {
  Attach(0x32F0);
  CSensorIMX487 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(5, 1000, 6, 802, 0), 1u);
  uint32_t x = 0, w = 0, y = 0, h = 0, flag = 9, frame = 0;
  ASSERT_EQ(s.GetCaptureArea(&x, &w, &y, &h, &flag), 1u);
  EXPECT_EQ((std::vector<uint32_t>{x, w, y, h, flag}), (std::vector<uint32_t>{8, 992, 8, 800, 0}));
  EXPECT_EQ(camera->SensorRegister(0x304C) | camera->SensorRegister(0x304D) << 8, 800);
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 864u);
  // The 2 x 2 readout halves the image (its sub-sampling mode on this sensor).
  ASSERT_EQ(s.SetCaptureArea(0, 2848, 0, 2848, 1), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);  // re-applied without halving twice
  ASSERT_EQ(s.GetCaptureArea(&x, &w, &y, &h, &flag), 1u);
  EXPECT_EQ((std::vector<uint32_t>{x, w, y, h, flag}),
            (std::vector<uint32_t>{0, 1424, 0, 1424, 1}));
  EXPECT_EQ(camera->SensorRegister(0x3020), 2);
  EXPECT_EQ(camera->SensorRegister(0x3022), 1);
  EXPECT_EQ(s.SetCaptureArea(2848, 16, 0, 8, 0), 0u);

  EXPECT_EQ(s.SetAnalogGain(2), 0u);
  ASSERT_EQ(s.SetAnalogGain(1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3064), 1);
  ASSERT_EQ(s.SetGlobalGain(480), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3060) | camera->SensorRegister(0x3061) << 8, 480);
  EXPECT_EQ(s.SetGlobalGain(481), 0u);
  ASSERT_EQ(s.SetMirrorH(1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3030), 2);
}

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
