// The three rolling-shutter cameras against their simulated heads: the FPGA
// copy taken at construction, the start-up sequence, windows (the offset
// effective image of the 4800 x 3520 array), exposure, data width and a
// failure inside a held sequence.
#include <array>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx159.h"
#include "sensors/sensor_imx226.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

class RollingShutterTest : public DriverTest {
 protected:
  uint32_t Frame() const { return SensorLE(0x3050, 3); }
  uint32_t Exposed() const { return SensorLE(0x3050, 3) - SensorLE(0x3058, 3); }
  // x, width, y, height of the sensor's window registers.
  std::array<uint32_t, 4> Window() const {
    return {SensorLE(0x3040, 2), SensorLE(0x3048, 2), SensorLE(0x3044, 2), SensorLE(0x304C, 2)};
  }
};

// What each camera lacks answers "not supported" (and what fails without a
// controller: family_walk_test).
TEST(RollingShutterFactory, MissingFeatures) {
  CSensorIMX159 imx159(nullptr, kBus);
  EXPECT_EQ(imx159.IsMirrorVSupported(), 0u);
  EXPECT_EQ(imx159.SetMirrorV(1), 0u);
  EXPECT_EQ(imx159.SetDataBits(1), 0u);
  for (uint8_t byte : imx159.FpgaCache()) ASSERT_EQ(byte, 0u);
  uint32_t parameter = 0;
  EXPECT_EQ(CSensorIMX226(nullptr, kBus).AccessSensorParameter(1, &parameter), 0u);
}

TEST_F(RollingShutterTest, IMX159CopiesTheFpgaRegistersOnceAndSurvivesAFailedRead) {
  Attach(0x3120);
  camera->SetFpgaVersion(0x0123);
  camera->SetFpgaRegister(200, 0x5A);
  camera->SetFpgaRegister(255, 0xA5);
  {
    CSensorIMX159 s(transport.get(), kBus);
    EXPECT_EQ(s.FpgaCache()[16], 0x01);
    EXPECT_EQ(s.FpgaCache()[17], 0x23);
    EXPECT_EQ(s.FpgaCache()[200], 0x5A);
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

}  // namespace
}  // namespace vexcam::test
