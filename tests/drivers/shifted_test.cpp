// The shifted-word cameras: the words exactly as loaded into the FPGA, and
// streaming the command-framed ones.
#include <utility>
#include <vector>

#include "camera/product_table.h"
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

// ZA16 splits the address into number and data; ZA18 and ZA20 take the
// number from the low byte.
TEST_F(ShiftedTest, RegisterWritesLoadOneWord) {
  Attach(0x3330);
  ASSERT_EQ(CSensorZA16(transport.get(), 0x40).WriteSensorRegister(0x12345678, 0x9ABCDEF0), 1u);
  EXPECT_EQ(FpgaWrites(), WordLoad(0x12, 0x3456789ABCDEF0));
  CSensorZA18 za18(transport.get(), 0x40);
  CSensorZA20 za20(transport.get(), 0x40);
  for (auto [s, address] : {std::pair<CSensorBase*, uint32_t>{&za18, 0x05}, {&za20, 0x105}}) {
    camera->ClearLog();
    ASSERT_EQ(s->WriteSensorRegister(address, 0x81234567), 1u);
    EXPECT_EQ(FpgaWrites(), WordLoad(0x05, 0x81234567));
  }
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
}

// ZA17 and ZA20 deliver their frames by command, without a header, so each
// copied frame is matched against the camera's most recent frames. ZA20
// streams a window of its 246-megapixel array past the one-word limit.
TEST(ShiftedDeviceModel, CommandFramedProductsStream) {
  struct Case {
    uint16_t productId;
    uint32_t x, y, width, height;
  };
  for (const Case& c : {Case{0x3340, 0, 0, 5688, 3336}, Case{0x3310, 16384, 4096, 2048, 1536}}) {
    SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << c.productId);
    DeviceModel m;
    ASSERT_NO_FATAL_FAILURE(m.Open(c.productId));
    ASSERT_EQ(m.cam->ChosenDriver(), ProductRowOf(c.productId).driver);
    ASSERT_EQ(m.cam->SetCaptureArea(c.x, c.y, c.width, c.height, 0), 1u);
    for (uint32_t bits : {0u, 1u}) {
      SCOPED_TRACE(bits);
      ASSERT_EQ(m.cam->SetDataBits(bits), 1u);
      ASSERT_EQ(m.cam->ApplyCaptureSettings(), 1u);
      const Untagged shape{bits, c.x, c.y, c.width};
      ASSERT_NO_FATAL_FAILURE(CheckFrames(*m.cam, *m.sim, 0, 2, &shape));
    }
    EXPECT_EQ(m.cam->CloseCamera(), 1u);
  }
}

}  // namespace
}  // namespace vexcam::test
