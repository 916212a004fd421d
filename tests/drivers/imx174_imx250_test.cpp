// The groups on the register map from 512 (frame length 528..530 minus
// shutter start 653..655) against their simulated cameras.
#include <array>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_imx174.h"
#include "sensors/sensor_imx250.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

// Fails every sensor write from the n-th on: a bus that dies mid-sequence.
template <typename Driver>
class DyingBus final : public Driver {
 public:
  DyingBus(CControllerBase* controller, uint32_t failFrom)
      : Driver(controller, kBus), fail_from_(failFrom) {}
  uint32_t WriteSensorRegister(uint32_t address, uint32_t value) override {
    if (++writes_ >= fail_from_) return 0;
    return Driver::WriteSensorRegister(address, value);
  }
  uint32_t writes_ = 0;

 private:
  const uint32_t fail_from_;
};

class Map512Test : public DriverTest {
 protected:
  void TearDown() override {
    model.cam.reset();
    DriverTest::TearDown();
  }
  std::vector<RegWrite> Writes() const { return SensorWrites(kBus, 1); }
  uint32_t Pair(uint16_t low) const { return SensorLE(low, 2); }
  uint32_t Frame() const { return SensorLE(528, 3) & 0xFFFFF; }
  uint32_t Shutter() const { return Pair(653) & 0xFFF; }
  // The camera device model over a simulated camera of this product.
  void OpenModel(uint16_t productId) {
    transport.reset();
    ASSERT_NO_FATAL_FAILURE(model.Open(productId));
    camera = model.sim;
    camera->ClearLog();
  }

  DeviceModel model;
};
using Imx174Test = Map512Test;
using PregiusTest = Map512Test;

TEST_F(Imx174Test, StartupLeavesStandbyOnceTheBusIsFreeWithTheRecordDefaults) {
  struct Case {
    uint16_t productId;
    uint32_t frame, lines, depth;
  };
  for (const Case& c : {Case{0x3100, 1254, 343, 0}, Case{0x30F0, 2138, 1070, 1}}) {
    SCOPED_TRACE(c.productId);
    Attach(c.productId);
    auto s = CreateSensor(c.productId, transport.get());
    ASSERT_EQ(s->InitSensor(), 1u);
    const std::vector<RegWrite> w = Writes();
    ASSERT_GE(w.size(), 3u);
    // Standby first; the sequencer starts only after leaving standby.
    EXPECT_EQ(w[0], (RegWrite{512, 1}));
    EXPECT_EQ(w[w.size() - 2], (RegWrite{512, 0}));
    EXPECT_EQ(w.back(), (RegWrite{514, 0}));
    EXPECT_EQ(camera->SensorRegister(520), c.depth);
    // The full array's frame with the default lines.
    EXPECT_EQ(Frame(), c.frame);
    EXPECT_EQ(Shutter(), c.frame - c.lines);
  }
}

TEST_F(Imx174Test, WindowAlignedCountedFromTheFarCornerAndRefusedOutsideTheArray) {
  Attach(0x3100);
  CSensorIMX174 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(5, 1000, 7, 602, 1), 1u);
  EXPECT_EQ(AreaOf(s), (Area{8, 992, 8, 600, 1}));  // no 2 x 2 mode
  EXPECT_EQ(camera->SensorRegister(1280), 3);
  EXPECT_EQ(Pair(1296), 1920u - 992 - 8);
  EXPECT_EQ(Pair(1298), 1200u - 600 - 8);
  EXPECT_EQ(Frame(), 654u);  // height + 54 blanking lines
  EXPECT_EQ(Shutter(), 654u - 343);
  ASSERT_EQ(s.SetCaptureArea(0, 1920, 100, 1000, 0), 1u);
  EXPECT_EQ(camera->SensorRegister(1280), 2);  // only the height cropped

  camera->ClearLog();
  EXPECT_EQ(s.SetCaptureArea(1905, 16, 0, 4, 0), 0u);  // 1908 + 16 > 1920
  EXPECT_EQ(s.SetCaptureArea(0, 15, 0, 4, 0), 0u);     // no width left
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(AreaOf(s), (Area{0, 1920, 100, 1000, 0}));
}

TEST_F(Imx174Test, ExposureIsFrameMinusShutterAndTheFrameGrowsForLongExposures) {
  Attach(0x3100);
  CSensorIMX174 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 1920, 0, 1200, 0), 1u);
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{
                          {528, 0xE6}, {529, 4}, {530, 0}, {653, 254}, {654, 0}, {655, 0}}));
  // Within 10 lines of the frame end the frame takes lines + 10.
  ASSERT_EQ(s.SetExposureLines(1250), 1u);
  EXPECT_EQ(Frame(), 1260u);
  EXPECT_EQ(Shutter(), 10u);
  // Clamped to the range; the frame register holds 20 bits.
  ASSERT_EQ(s.SetExposureLines(5000000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1000000u);
  EXPECT_EQ(Frame(), 1000010u);

  // 0.1 ms units over 29.09 us lines; outside the range the time is clamped.
  ASSERT_EQ(s.SetExposureTime(1000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 3437u);
  ASSERT_EQ(s.SetExposureTime(4000000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 290000u);
  EXPECT_LT(Get(s, &CSensorBase::GetExposureLines), 1000000u);
}

TEST_F(Imx174Test, ABusThatDiesMidSequenceStopsAtTheFailedWriteAndKeepsTheRecord) {
  Attach(0x3100);
  DyingBus<CSensorIMX174> healthy(transport.get(), UINT32_MAX);
  ASSERT_EQ(healthy.InitSensor(), 1u);
  const uint32_t total = healthy.writes_;
  ASSERT_GT(total, 20u);
  for (uint32_t n = 1; n < total; ++n) {
    SCOPED_TRACE(n);
    Attach(0x3100);
    DyingBus<CSensorIMX174> s(transport.get(), n);
    EXPECT_EQ(s.InitSensor(), 0u);
    EXPECT_EQ(s.writes_, n);  // nothing after the failed write
  }

  // A window whose fifth write fails leaves the stored area as it was.
  Attach(0x3100);
  DyingBus<CSensorIMX174> s(transport.get(), 5);
  EXPECT_EQ(s.SetCaptureArea(0, 960, 0, 600, 0), 0u);
  EXPECT_EQ(AreaOf(s), (Area{0, 1920, 0, 1200, 0}));

  // The trigger register is not acknowledged: the mode stays free run.
  CSensorIMX174 plain(transport.get(), kBus);
  camera->InjectBusFailures(1);
  EXPECT_EQ(plain.SetTriggerMode(1), 0u);
  EXPECT_EQ(Get(plain, &CSensorBase::GetTriggerMode), 0u);
}

TEST_F(Imx174Test, TriggerThroughTheCameraGatesFramesWithFpga48) {
  for (uint16_t id : {uint16_t{0x3100}, uint16_t{0x30F0}}) {  // both rows take the FPGA 48 rule
    SCOPED_TRACE(id);
    OpenModel(id);
    ASSERT_EQ(model.cam->SetTriggerMode(1, 1), 1u);
    EXPECT_EQ(LastValue(Writes(), 523), 1);
    EXPECT_EQ(FpgaWritesTo({48}), (std::vector<RegWrite>{{48, 0}, {48, 1}}));

    // Back to free run: the sensor passes through trigger mode on the way.
    camera->ClearLog();
    ASSERT_EQ(model.cam->SetTriggerMode(0, 1), 1u);
    EXPECT_EQ(Writes(), (std::vector<RegWrite>{{523, 1}, {523, 0}}));
    EXPECT_EQ(camera->FpgaRegister(48), 0);
  }
}

TEST_F(Imx174Test, DataWidthInTheSensorOfTheSmallerCameraOnly) {
  OpenModel(0x3100);
  ASSERT_EQ(model.cam->SetDataBits(1), 1u);
  EXPECT_EQ(camera->SensorRegister(520), 1);
  EXPECT_EQ(camera->FpgaRegister(60), 2);
  EXPECT_EQ(model.cam->Sensor()->Info().bitsPerPixel, 16u);
  ASSERT_EQ(model.cam->SetDataBits(0), 1u);
  EXPECT_EQ(camera->SensorRegister(520), 0);

  // The larger camera's sensor stays at 12 bits; the FPGA packs.
  EXPECT_EQ(CSensorIMX178(nullptr, kBus).SetDataBits(1), 0u);
  OpenModel(0x30F0);
  ASSERT_EQ(model.cam->SetDataBits(1), 1u);
  EXPECT_EQ(LastValue(Writes(), 520), -1);
  EXPECT_EQ(camera->FpgaRegister(60), 2);
}

TEST_F(PregiusTest, ShutterWhileTheFrameHoldsTheExposureElseTheFrameGrows) {
  Attach(0x31B0);
  CSensorIMX250 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 0), 1u);  // frame 2094 lines
  camera->ClearLog();
  // 2094 - 1000 = 0x446 lines of shutter.
  ASSERT_EQ(s.SetExposureLines(1000), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{
                          {530, 0}, {529, 8}, {528, 0x2E}, {653, 0x46}, {654, 4}, {655, 0}}));
  // Closer than 10 lines to the frame: the frame takes the line count and the
  // shutter drops to 10 (the lines grew by at least 10).
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(2090), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{
                          {530, 0}, {529, 8}, {528, 0x2A}, {653, 10}, {654, 0}, {655, 0}}));
  // Growing by less than 10 lines leaves the shutter alone.
  camera->ClearLog();
  ASSERT_EQ(s.SetExposureLines(2093), 1u);
  EXPECT_EQ(Writes(), (std::vector<RegWrite>{{530, 0}, {529, 8}, {528, 0x2D}}));
  // Above the maximum the line count is the maximum.
  ASSERT_EQ(s.SetExposureLines(5000000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1048575u);
  EXPECT_EQ(Frame(), 1048575u);
  // Back inside the frame: the frame returns to the window's length.
  ASSERT_EQ(s.SetExposureLines(94), 1u);
  EXPECT_EQ(Frame(), 2094u);
  EXPECT_EQ(Pair(653), 2000u);
}

TEST_F(PregiusTest, ExposureTimeConvertsWithTheLineTimeAndClampsToTheLineRange) {
  Attach(0x31B4);
  CSensorIMX264 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 0), 1u);
  ASSERT_EQ(s.SetExposureTime(1000), 1u);  // 1000 / 0.0773422 lines
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 12929u);
  // 65535 lines at most: the stored time is that of the maximum.
  ASSERT_EQ(s.SetExposureTime(7000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 65535u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 5068u);
  ASSERT_EQ(s.SetExposureTime(0), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 1u);
  // 16-bit data doubles the line, and with it the time limits.
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(Pair(532), 1164u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 10137u);
}

TEST_F(PregiusTest, WindowStoresTheAlignedAreaAndItsFrameAndTheTwoByTwoMode) {
  Attach(0x31B0);
  CSensorIMX250 s(transport.get(), kBus);
  ASSERT_EQ(s.SetCaptureArea(5, 1000, 7, 602, 0), 1u);
  uint32_t frame = 0;
  EXPECT_EQ(AreaOf(s), (Area{8, 992, 8, 600, 0}));
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 646u);
  EXPECT_EQ(Frame(), 1582u);  // the default 1582 lines outgrow this frame

  // Full width: only the height is marked cropped.
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 100, 1000, 0), 1u);
  EXPECT_EQ(camera->SensorRegister(1280), 2);

  // The 2 x 2 mode halves the image and keeps the short line in 16 bits.
  ASSERT_EQ(s.SetCaptureArea(0, 2448, 0, 2048, 1), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(AreaOf(s), (Area{0, 1224, 0, 1024, 1}));
  EXPECT_EQ(camera->SensorRegister(525), 17);
  EXPECT_EQ(Pair(532), 582u);
  ASSERT_EQ(s.AccessSensorParameter(1, &frame), 1u);
  EXPECT_EQ(frame, 1066u);

  // Outside the array after alignment: refused, nothing stored.
  EXPECT_EQ(s.SetCaptureArea(2433, 16, 0, 4, 0), 0u);
  EXPECT_EQ(AreaOf(s), (Area{0, 1224, 0, 1024, 1}));
}

// The sequencer start's wait for the bus: RollingShutterTest and Imx174Test.
TEST_F(PregiusTest, StartupLeavesStandbyWithTheDefaults) {
  Attach(0x31C0);
  CSensorIMX252 s(transport.get(), kBus);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(camera->SensorRegister(512), 0);
  EXPECT_EQ(camera->SensorRegister(514), 0);
  EXPECT_EQ(camera->SensorRegister(516), 64);  // the default gain
}

}  // namespace
}  // namespace vexcam::test
