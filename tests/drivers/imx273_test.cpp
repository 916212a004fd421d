// The global-shutter cameras with the held frame registers (IMX273, IMX487,
// IMX536, IMX675, ZA19) against their simulated cameras: exposure in lines
// and seconds, the held frame registers, the window, conversion gain and trigger.
#include <array>
#include <limits>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx273.h"
#include "sensors/sensor_imx675.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;
constexpr uint16_t kHold = 0x3008;

class GlobalShutterTest : public DriverTest {
 protected:
  uint32_t Frame() const { return SensorLE(0x3050, 3); }
  uint32_t Shutter() const { return SensorLE(0x3058, 3); }
  uint32_t Exposed() const { return Frame() - Shutter(); }
};

// The frame and shutter writes of the Sony base (the rolling-shutter group's too).
TEST_F(GlobalShutterTest, FrameAndShutterWrittenUnderTheHoldAndTheFrameGrows) {
  Attach(0x3300);
  CSensorIMX273 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 1440, 0, 1080, 0), 1u);  // frame 1130 = 0x46A lines
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  EXPECT_EQ(SensorWrites(kBus, 1), (std::vector<RegWrite>{{kHold, 1},
                                                          {0x3050, 0x6A},
                                                          {0x3051, 4},
                                                          {0x3052, 0},
                                                          {0x3058, 130},
                                                          {0x3059, 0},
                                                          {0x305A, 0},
                                                          {kHold, 0}}));
  // Closer than 8 lines to the frame: the frame grows, the shutter is 8.
  ASSERT_EQ(s.SetExposureLines(1125), 1u);
  EXPECT_EQ(Frame(), 1133u);
  EXPECT_EQ(Shutter(), 8u);
  // Clamped into the lines record; the grown frame still fits 24 bits.
  ASSERT_EQ(s.SetExposureLines(0), 1u);
  EXPECT_EQ(Frame() - Shutter(), 1u);
  ASSERT_EQ(s.SetExposureLines(0xFFFFFFFF), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 16777200u);
  EXPECT_EQ(Frame(), 16777208u);
}

// The seconds record clamps, programs lines of the window's line time and
// stores the time really set, in both units.
TEST_F(GlobalShutterTest, SecondsRecordClampsProgramsLinesAndStoresTheRealTime) {
  struct Case {
    uint16_t productId;
    uint32_t halfSecond, longest, shortest;  // lines
    bool trigger;
  };
  // Line times 52.36 us (IMX487), 35.6267 us (IMX675), 42 us (ZA19).
  for (const Case& c :
       {Case{0x32F0, 9549, 1145903, 1, false}, Case{0x3360, 14034, 1684131, 2, true},
        Case{0x32B0, 11904, 1428571, 2, true}}) {
    SCOPED_TRACE(c.productId);
    Attach(c.productId);
    auto s = CreateSensor(c.productId, transport.get());
    ASSERT_EQ(s->SetCaptureArea(0, s->Info().arrayWidth, 0, s->Info().arrayHeight, 0), 1u);
    ASSERT_EQ(s->SetExposureTimeEx(0.5), 1u);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureLines), c.halfSecond);
    EXPECT_EQ(Exposed(), c.halfSecond);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureTime), 5000u);
    ASSERT_EQ(s->SetExposureTimeEx(100.0), 1u);
    EXPECT_DOUBLE_EQ(Get(*s, &CSensorBase::GetExposureTimeEx), 60.0);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureTime), 600000u);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureLines), c.longest);
    for (double low : {0.0, 1e-9, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
      ASSERT_EQ(s->SetExposureTimeEx(low), 1u);
      EXPECT_DOUBLE_EQ(Get(*s, &CSensorBase::GetExposureTimeEx), 0.0001);
      EXPECT_EQ(Get(*s, &CSensorBase::GetExposureTime), 1u);
      EXPECT_EQ(Get(*s, &CSensorBase::GetExposureLines), c.shortest);
    }
    // The tenths-of-milliseconds setter clamps too and keeps the seconds in step.
    ASSERT_EQ(s->SetExposureTime(700000), 1u);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureTime), 600000u);
    EXPECT_DOUBLE_EQ(Get(*s, &CSensorBase::GetExposureTimeEx), 60.0);
    ASSERT_EQ(s->SetExposureTime(0), 1u);
    EXPECT_EQ(Get(*s, &CSensorBase::GetExposureLines), c.shortest);
    // Any trigger mode is the FPGA's trigger input.
    if (c.trigger) {
      ASSERT_EQ(s->SetTriggerMode(5), 1u);
      EXPECT_EQ(camera->FpgaRegister(88), 1);
    }
  }
  // 106.95 us is 3.002 lines of IMX675, but the sensor gets 106 whole microseconds.
  CSensorIMX675 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2592, 0, 4060, 0), 1u);
  ASSERT_EQ(s.SetExposureTimeEx(106.95e-6), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 2u);
  EXPECT_EQ(Get(s, &CSensorBase::GetTriggerMode), 1u);
}

TEST_F(GlobalShutterTest, WindowTwoByTwoReadoutAndConversionGain) {
  Attach(0x32F0);
  CSensorIMX487 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(5, 1000, 6, 802, 0), 1u);
  EXPECT_EQ(AreaOf(s), (Area{8, 992, 8, 800, 0}));
  EXPECT_EQ(SensorLE(0x304C, 2), 800u);
  uint32_t frame = 0;
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 864u);
  // The 2 x 2 readout halves the image (its sub-sampling mode on this sensor).
  ASSERT_EQ(s.SetCaptureArea(0, 2848, 0, 2848, 1), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);  // re-applied without halving twice
  EXPECT_EQ(AreaOf(s), (Area{0, 1424, 0, 1424, 1}));
  EXPECT_EQ(camera->SensorRegister(0x3020), 2);
  EXPECT_EQ(camera->SensorRegister(0x3022), 1);
  EXPECT_EQ(s.SetCaptureArea(2848, 16, 0, 8, 0), 0u);

  EXPECT_EQ(s.SetAnalogGain(2), 0u);
  ASSERT_EQ(s.SetAnalogGain(1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3064), 1);
}

}  // namespace
}  // namespace vexcam::test
