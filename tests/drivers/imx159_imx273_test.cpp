// The groups on the register map from 0x3000 (frame and shutter 24 bits
// under the hold), rolling and global shutter, against their simulated cameras.
#include <array>
#include <limits>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx159.h"
#include "sensors/sensor_imx226.h"
#include "sensors/sensor_imx273.h"
#include "sensors/sensor_imx675.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kHold = 0x3008;

class Map3000Test : public DriverTest {
 protected:
  uint32_t Frame() const { return SensorLE(0x3050, 3); }
  uint32_t Shutter() const { return SensorLE(0x3058, 3); }
  uint32_t Exposed() const { return Frame() - Shutter(); }
  // x, width, y, height of the sensor's window registers.
  std::array<uint32_t, 4> Window() const {
    return {SensorLE(0x3040, 2), SensorLE(0x3048, 2), SensorLE(0x3044, 2), SensorLE(0x304C, 2)};
  }
};
using RollingShutterTest = Map3000Test;
using GlobalShutterTest = Map3000Test;

// What each camera lacks answers "not supported" (and what fails without a
// controller: family_walk_test).
TEST(RollingShutterFactory, MissingFeatures) {
  CSensorIMX159 imx159(nullptr, kBus);
  EXPECT_EQ(imx159.SetMirrorV(1), 0u);
  EXPECT_EQ(imx159.SetDataBits(1), 0u);
  uint32_t parameter = 0;
  EXPECT_EQ(CSensorIMX226(nullptr, kBus).AccessSensorParameter(1, &parameter), 0u);
}

TEST_F(RollingShutterTest, IMX159CopiesTheFpgaRegistersOnceAndSurvivesAFailedRead) {
  Attach(0x3120);
  camera->SetFpgaVersion(0x0123);
  camera->SetFpgaRegister(255, 0xA5);
  {
    CSensorIMX159 s(transport.get(), kBus);
    EXPECT_EQ(s.FpgaCache()[16], 0x01);
    EXPECT_EQ(s.FpgaCache()[17], 0x23);
    EXPECT_EQ(s.FpgaCache()[255], 0xA5);
  }
  // A failing bus: the copy stays all zero and the driver still works.
  camera->InjectBusFailures(1);
  CSensorIMX159 s(transport.get(), kBus);
  for (uint8_t byte : s.FpgaCache()) ASSERT_EQ(byte, 0u);
  EXPECT_EQ(s.InitSensor(), 1u);
}

TEST_F(RollingShutterTest, IMX159StartsWithTheEffectiveImageClippedToTheArray) {
  Attach(0x3120);
  CSensorIMX159 s(transport.get(), kBus);
  camera->ClearLog();
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto writes = SensorWrites(kBus, 1);
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes.front(), (RegWrite{0x3000, 1}));  // standby first
  EXPECT_EQ(writes.back(), (RegWrite{0x3002, 0}));   // the sequencer starts last
  EXPECT_EQ(camera->SensorRegister(0x3000), 0u);
  EXPECT_EQ(camera->SensorRegister(0x3008), 0u);  // hold released
  // Rows 18 + 3504 would end 2 rows past the array: the window stops at its edge.
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{72, 4672, 18, 3502}));
  EXPECT_EQ(AreaOf(s), (Area{72, 4672, 18, 3502, 0}));
  EXPECT_EQ(Frame(), 3502u + 184u);
  EXPECT_EQ(Exposed(), 69u);  // 10 ms of 143.7 us lines
  EXPECT_EQ(LastValue(FpgaWrites(), 88), 0);
}

TEST_F(RollingShutterTest, WindowsAlignAndStayInsideTheArray) {
  Attach(0x3120);
  CSensorIMX159 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  ASSERT_EQ(s.SetCaptureArea(73, 1003, 19, 501, 0), 1u);
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{72, 1000, 18, 500}));
  EXPECT_EQ(AreaOf(s), (Area{72, 1000, 18, 500, 0}));
  EXPECT_EQ(Frame(), 500u + 184u);
  // The full array; areas past the array (beyond the effective overhang),
  // outside it, or empty are refused and change nothing.
  ASSERT_EQ(s.SetCaptureArea(0, 4800, 0, 3520, 0), 1u);
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{0, 4800, 0, 3520}));
  for (const auto& a :
       {std::array<uint32_t, 4>{0, 4800, 4, 3520}, std::array<uint32_t, 4>{4, 4800, 0, 64},
        std::array<uint32_t, 4>{4800, 4, 0, 4}, std::array<uint32_t, 4>{0, 2, 0, 64},
        std::array<uint32_t, 4>{0, 64, 0xFFFFFFFE, 4}}) {
    EXPECT_EQ(s.SetCaptureArea(a[0], a[1], a[2], a[3], 0), 0u);
  }
  EXPECT_EQ(AreaOf(s), (Area{0, 4800, 0, 3520, 0}));
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{0, 4800, 0, 3520}));
}

// The frame grows past the margin as on the global-shutter group
// (GlobalShutterTest.FrameAndShutterWrittenUnderTheHoldAndTheFrameGrows).
TEST_F(RollingShutterTest, IMX183ExposureClampsTheTimeIntoItsRecord) {
  Attach(0x3110);
  CSensorIMX183 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(Frame(), 3880u);
  EXPECT_EQ(Exposed(), 119u);
  // The time into its record, then the time of the most lines, not the request.
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 599999u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 717607u);
}

TEST_F(RollingShutterTest, IMX226TwoByTwoReadoutAndDataWidth) {
  Attach(0x31F0);
  CSensorIMX226 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(AreaOf(s), (Area{0, 4160, 0, 3056, 0}));
  EXPECT_EQ(Frame(), (3056u + 102u) / 2);  // two rows per line period
  EXPECT_EQ(Exposed(), 304u);
  // The 2 x 2 readout: the sensor window at full size, the output halved.
  ASSERT_EQ(s.SetCaptureArea(8, 2048, 6, 1024, 1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3020), 1u);
  // Its 307-line frame is shorter than the 304 lines exposed plus the margin.
  EXPECT_EQ(Frame(), 304u + 8u);
  EXPECT_EQ(Exposed(), 304u);
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(s.Info().bitsPerPixel, 16u);
  EXPECT_EQ(camera->SensorRegister(0x3005), 1u);
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{8, 2048, 6, 1024}));
  EXPECT_EQ(AreaOf(s), (Area{8, 1024, 6, 512, 1}));
}

TEST_F(RollingShutterTest, IMX226FailureInsideTheHeldWindowReleasesTheHold) {
  Attach(0x31F0);
  CSensorIMX226 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  // Each write now keeps the bus busy for longer than a verified write waits:
  // the hold goes on, the first window write gives up, the hold comes off.
  camera->SetBusyReadsAfterSensorWrite(150);
  camera->ClearLog();
  EXPECT_EQ(s.SetCaptureArea(0, 1024, 0, 1024, 0), 0u);
  camera->SetBusyReadsAfterSensorWrite(0);
  const auto writes = SensorWrites(kBus, 1);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], (RegWrite{0x3008, 1}));
  EXPECT_EQ(writes[1], (RegWrite{0x3008, 0}));
  EXPECT_EQ(AreaOf(s), (Area{0, 4160, 0, 3056, 0}));
  EXPECT_EQ(Window(), (std::array<uint32_t, 4>{0, 4160, 0, 3056}));
  // The retrying read leaves its preset when the bus never comes free.
  camera->SetFpgaRegister(2, 1);
  uint32_t value = 0;
  EXPECT_EQ(s.ReadSensorRegisterRetry(0x3007, &value), 0u);
  EXPECT_EQ(value, kSonyReadPreset);
  camera->SetFpgaRegister(2, 0);
  ASSERT_EQ(s.ReadSensorRegisterRetry(0x3054, &value), 1u);
  EXPECT_EQ(value, 2368u & 0xFF);
}

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
