// The FPGA-run 640 x 512 camera: its driver against the simulated camera,
// and the camera device model, which leaves this camera's bring-up, trigger,
// data width and transfer reset to others and so never streams it.
#include "driver_fixture.h"
#include "sensors/sensor_za21.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint8_t kBus = 0x48;

TEST_F(DriverTest, ZA21SetsItsPixelClockAndOnlyTakesTheFullArray) {
  Attach(0x33A0);
  CSensorZA21 s(transport.get(), kBus);
  EXPECT_EQ(s.Info().pixelClockKhz, 0u);
  // Before the pixel clock is known the time limits still answer sanely.
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 1u);
  ASSERT_EQ(s.InitSensor(), 1u);
  EXPECT_EQ(s.Info().pixelClockKhz, CSensorZA21::kPixelClockKhz);
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 256, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 512, 1), 0u);
  ASSERT_EQ(s.SetCaptureArea(0, 640, 0, 512, 0), 1u);
  ASSERT_EQ(s.SetDataBits(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(89), 1);
  EXPECT_EQ(s.Info().bitsPerPixel, 16u);
  ASSERT_EQ(s.SetTriggerMode(3), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetTriggerMode), 1u);
  EXPECT_EQ(s.SetGlobalGain(1), 0u);  // not adjustable
  EXPECT_EQ(s.SetExposureTime(100), 0u);
  EXPECT_TRUE(SensorWrites(kBus, 1).empty());
}

// The device model answers this camera's bring-up, window, data width and
// trigger with success without touching it, and prepares no transfer, so a
// capture fails cleanly instead of streaming.
TEST(ZA21DeviceModel, OpensWithItsDriverButDoesNotStream) {
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(0x33A0));
  StreamCamera* cam = m.cam.get();
  ASSERT_EQ(cam->ChosenDriver(), SensorDriver::kZA21);
  EXPECT_EQ(cam->Sensor()->ModelNumber(), 122u);
  SensorInfo info{};
  ASSERT_EQ(cam->GetSensorInfo(&info), 1u);
  EXPECT_EQ(info.orientation, 4u);
  EXPECT_EQ(cam->SetCaptureArea(0, 0, 640, 512, 0), 1u);
  EXPECT_EQ(cam->SetDataBits(1), 1u);
  EXPECT_EQ(cam->SetTriggerMode(1, 1), 1u);
  EXPECT_EQ(m.sim->FpgaRegister(88), 0);  // the trigger was not forwarded
  EXPECT_EQ(cam->ApplyCaptureSettings(), 1u);
  if (cam->StartCapture(kCaptureContinuous) == 1u) {
    EXPECT_NE(cam->WaitFrame(300), kWaitNewFrame);
    EXPECT_EQ(cam->StopCapture(), 1u);
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
}

}  // namespace
}  // namespace vexcam::test
