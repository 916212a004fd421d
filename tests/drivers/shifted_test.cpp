// The shifted-word cameras: the factory's model numbers, the words exactly
// as loaded into the FPGA, and streaming.
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_shifted.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

class ShiftedTest : public DriverTest {
 protected:
  // Every FPGA write of one word load, in order.
  static std::vector<RegWrite> WordLoad(uint8_t reg, uint64_t data) {
    std::vector<RegWrite> out{{32, reg}};
    for (uint32_t i = 0; i < 7; ++i) out.push_back({33 + i, uint32_t(data >> (48 - 8 * i)) & 0xFF});
    out.push_back({49, 7});
    out.push_back({48, 1});  // pulse set, then cleared (read-modify-write)
    out.push_back({48, 0});
    return out;
  }
};

TEST(ShiftedFactory, ProductsBuildTheirDriverAndModelNumber) {
  struct Case {
    uint16_t productId;
    SensorDriver driver;
    uint32_t model;
  };
  for (const Case& c :
       {Case{0x3330, SensorDriver::kZA16, 118}, Case{0x3340, SensorDriver::kZA17, 119},
        Case{0x3320, SensorDriver::kZA18, 117}, Case{0x3310, SensorDriver::kZA20, 116}}) {
    SCOPED_TRACE(c.productId);
    auto sensor = CreateSensor(c.productId, nullptr);
    auto* shifted = dynamic_cast<CShiftedSensor*>(sensor.get());
    ASSERT_NE(shifted, nullptr);
    EXPECT_EQ(shifted->Row().driver, c.driver);
    EXPECT_EQ(sensor->ModelNumber(), c.model);
    EXPECT_EQ(sensor->WriteSensorRegister(0, 0), 0u);  // no controller
  }
  EXPECT_EQ(CSensorZA16(nullptr, 0x40).SetTriggerMode(1), 0u);
}

TEST_F(ShiftedTest, ZA16SplitsTheAddressIntoNumberAndData) {
  Attach(0x3330);
  CSensorZA16 za16(transport.get(), 0x40);
  ASSERT_EQ(za16.WriteSensorRegister(0x12345678, 0x9ABCDEF0), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(0x12, 0x3456789ABCDEF0));
}

TEST_F(ShiftedTest, ZA18TakesTheRegisterNumberFromTheLowByte) {
  Attach(0x3320);
  CSensorZA18 za18(transport.get(), 0x40);
  ASSERT_EQ(za18.WriteSensorRegister(0x05, 0x81234567), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(0x05, 0x81234567));
}

TEST_F(ShiftedTest, ControlsAreOneWordEach) {
  Attach(0x3340);
  CSensorZA17 sensor(transport.get(), 0x40);
  ASSERT_EQ(sensor.SetCaptureArea(8, 5680, 4, 3332, 0), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kWindow, ShiftedWindowWord(8, 4, 5680, 3332)));
  EXPECT_EQ(sensor.SetCaptureArea(16, 5680, 0, 3336, 0), 0u);  // off the array

  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureTimeEx(0.25), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kExposure, 250000));
  EXPECT_EQ(sensor.Info().exposureTime.current, 2500u);
  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureTimeEx(100.0), 1u);  // clamped to the record
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kExposure, 10000000));
  camera->ClearLog();
  ASSERT_EQ(sensor.SetTriggerMode(3), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(shifted_reg::kTrigger, 3));
}

TEST_F(ShiftedTest, ZA20TakesItsWindowInTwoWords) {
  Attach(0x3310);
  CSensorZA20 sensor(transport.get(), 0x40);
  ASSERT_EQ(sensor.SetCaptureArea(16384, 3184, 8, 12580, 0), 1u);
  std::vector<RegWrite> want = WordLoad(shifted_reg::kWindowOrigin, ShiftedPairWord(16384, 8));
  for (const RegWrite& w : WordLoad(shifted_reg::kWindowSize, ShiftedPairWord(3184, 12580)))
    want.push_back(w);
  EXPECT_EQ(FpgaWrites(), want);
  EXPECT_EQ(sensor.SetCaptureArea(16400, 3184, 8, 12580, 0), 0u);  // off the array
  camera->ClearLog();
  ASSERT_EQ(sensor.WriteSensorRegister(0x105, 0x81234567), 1u);  // number from the low byte
  EXPECT_EQ(FpgaWrites(), WordLoad(0x05, 0x81234567));
}

TEST(ShiftedDeviceModel, HeaderFramedProductsStream) {
  StreamThroughDeviceModel(
      {.productId = 0x3330, .driver = SensorDriver::kZA16, .modelNumber = 118});
  StreamThroughDeviceModel(
      {.productId = 0x3320, .driver = SensorDriver::kZA18, .modelNumber = 117});
}

// ZA17 and ZA20 deliver their frames by command, without a header: the
// device model gives them no tag of their own, so each copied frame is
// matched against the camera's most recent frames.
void StreamCommandFramed(uint16_t productId, SensorDriver driver, uint32_t model, uint32_t x,
                         uint32_t y, uint32_t width, uint32_t height) {
  SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << productId);
  sim::SimBackend::Instance().RemoveAll();
  sim::SimBackend::Instance().Install(false);
  sim::SimBackend::Instance().SetSpeedUp(1000);
  auto sim = sim::SimBackend::Instance().AddCamera(productId);
  auto cam = std::make_unique<StreamCamera>();
  cam->SetProductId(productId);
  ASSERT_EQ(cam->CreateController(nullptr, nullptr), 1u);
  ASSERT_NE(cam->OpenCamera(0), 0u);
  ASSERT_EQ(cam->ChosenDriver(), driver);
  EXPECT_EQ(cam->Sensor()->ModelNumber(), model);
  ASSERT_EQ(cam->SetCaptureArea(x, y, width, height, 0), 1u);
  for (uint32_t bits : {0u, 1u}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(cam->SetDataBits(bits), 1u);
    ASSERT_EQ(cam->ApplyCaptureSettings(), 1u);
    ASSERT_EQ(cam->StartCapture(kCaptureContinuous), 1u);
    uint32_t delivered = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<uint8_t> frame;
    while (delivered < 2 && std::chrono::steady_clock::now() < deadline) {
      if (cam->WaitFrame(3000) != kWaitNewFrame) continue;
      sim::PatternFrame p = sim->LastFrame().pattern;
      ASSERT_EQ(p.width, width);
      ASSERT_EQ(p.x0, x);
      ASSERT_EQ(p.bits, bits != 0 ? 16 : 8);
      frame.assign(size_t{p.width} * p.height * (p.bits > 8 ? 2 : 1), 0);
      ASSERT_EQ(cam->FrameSize(), frame.size());
      uint32_t tag = 0;
      if (cam->GetFrameEx(frame.data(), &tag, frame.size(), 0, 0, 0) != kFrameCopied) continue;
      p = sim->LastFrame().pattern;
      // The copied frame is one of the last few the camera produced.
      bool matched = false;
      const uint32_t newest = p.tag;
      for (uint32_t back = 0; back < 8 && back <= newest && !matched; ++back) {
        p.tag = newest - back;
        matched = true;
        for (uint32_t r : {0u, p.height / 2, p.height - 1}) {
          const std::vector<uint8_t> want = OrientedRow(p, 0, r);
          matched = matched && std::memcmp(&frame[r * want.size()], want.data(), want.size()) == 0;
        }
      }
      ASSERT_TRUE(matched) << "no recent frame matches, newest tag " << newest;
      ++delivered;
    }
    EXPECT_EQ(delivered, 2u);
    EXPECT_EQ(cam->StopCapture(), 1u);
  }
  EXPECT_EQ(cam->CloseCamera(), 1u);
  cam.reset();
  sim::SimBackend::Instance().RemoveAll();
}

TEST(ShiftedDeviceModel, CommandFramedProductsStream) {
  StreamCommandFramed(0x3340, SensorDriver::kZA17, 119, 0, 0, 5688, 3336);
  // A window of the 246-megapixel array past the one-word limit; whole
  // frames are what the memory figures measure.
  StreamCommandFramed(0x3310, SensorDriver::kZA20, 116, 16384, 4096, 2048, 1536);
}

}  // namespace
}  // namespace vexcam::test
