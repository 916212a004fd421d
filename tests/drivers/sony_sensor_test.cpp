// The controls every group on the Sony channel shares (sensors/sony_sensor.h),
// one member of each group against its simulated camera: both mirrors in one
// register, the gain refused outside its record, the frame-length parameter
// and the trigger gated by the FPGA.
#include "camera/sensor_factory.h"
#include "driver_fixture.h"

namespace vexcam::test {
namespace {

class SonySensorTest : public DriverTest {};

TEST_F(SonySensorTest, MirrorsGainFrameLengthAndTrigger) {
  struct Case {
    uint16_t productId;
    uint16_t mirror, gain, frame, shutter;
    uint32_t frameMask, windowFrame, frameLimit;
    uint16_t trigger;  // 0: the trigger is not the gated one
  };
  for (const Case& c : {
           Case{0x3110, 0x3007, 0x3014, 0x3050, 0x3058, 0xFFFFFF, 3880, 0xFFFFFF, 0x300A},
           Case{0x3100, 526, 516, 528, 653, 0xFFFFF, 1254, 0xFFF, 0},
           Case{0x31C0, 526, 516, 528, 653, 0xFFFFF, 1582, 0xFFF, 523},
           Case{0x32F0, 0x3030, 0x3060, 0x3050, 0x3058, 0xFFFFFF, 2912, 0xFFFFFF, 0},
       }) {
    SCOPED_TRACE(c.productId);
    Attach(c.productId);
    auto s = CreateSensor(c.productId, transport.get());
    ASSERT_EQ(s->InitSensor(), 1u);
    const auto frame = [&] { return SensorLE(c.frame, 3) & c.frameMask; };
    const auto exposed = [&] { return frame() - SensorLE(c.shutter, 3); };

    // Each mirror keeps the other's state in the shared register.
    ASSERT_EQ(s->SetMirrorV(1), 1u);
    ASSERT_EQ(s->SetMirrorH(5), 1u);
    EXPECT_EQ(camera->SensorRegister(c.mirror), 3);
    EXPECT_EQ(Get(*s, &CSensorBase::GetMirrorH), 1u);
    ASSERT_EQ(s->SetMirrorV(0), 1u);
    EXPECT_EQ(camera->SensorRegister(c.mirror), 2);

    // Gain over two registers; out of range refused without a write.
    ASSERT_EQ(s->SetGlobalGain(480), 1u);
    EXPECT_EQ(SensorLE(c.gain, 2), 480u);
    camera->ClearLog();
    EXPECT_EQ(s->SetGlobalGain(481), 0u);
    EXPECT_TRUE(SensorWrites(kBus, 1).empty());
    EXPECT_EQ(Get(*s, &CSensorBase::GetGlobalGain), 480u);

    // A longer frame moves the shutter with it; never shorter than the
    // window's own frame, never beyond what the shutter register can follow.
    ASSERT_EQ(s->SetExposureLines(100), 1u);
    uint32_t p = c.windowFrame + 1000;
    ASSERT_EQ(s->AccessSensorParameter(0, &p), 1u);
    EXPECT_EQ(frame(), c.windowFrame + 1000);
    EXPECT_EQ(exposed(), 100u);
    p = 10;
    ASSERT_EQ(s->AccessSensorParameter(0, &p), 1u);
    EXPECT_EQ(frame(), c.windowFrame);
    ASSERT_EQ(s->AccessSensorParameter(1, &p), 1u);
    EXPECT_EQ(p, c.windowFrame);
    p = c.frameLimit + 1;
    EXPECT_EQ(s->AccessSensorParameter(0, &p), 0u);

    if (c.trigger == 0) continue;
    camera->ClearLog();
    ASSERT_EQ(s->SetTriggerMode(1), 1u);
    EXPECT_EQ(camera->SensorRegister(c.trigger), 1);
    EXPECT_EQ(LastValue(FpgaWrites(), 88), 1);
    EXPECT_EQ(FpgaWrites().back(), (RegWrite{108, 0}));  // the update strobe latches it
    EXPECT_EQ(Get(*s, &CSensorBase::GetTriggerMode), 1u);
    ASSERT_EQ(s->SetTriggerMode(0), 1u);
    EXPECT_EQ(camera->FpgaRegister(88), 0);
  }
}

}  // namespace
}  // namespace vexcam::test
