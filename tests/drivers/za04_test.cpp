// The text-commanded camera head against its simulated camera.
#include <cstring>
#include <functional>
#include <string>

#include "driver_fixture.h"
#include "sensors/sensor_za04.h"
#include "sim/sim_head_za04.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kProduct = 0x3180;
class ZA04Test : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    CSensorZA04::ForgetDebugMode();
    Attach(kProduct);
  }
  void TearDown() override {
    CSensorZA04::ForgetDebugMode();
    DriverTest::TearDown();
  }

  // Wakes the head without the driver's bring-up.
  void WakeHead() { camera->SetFpgaRegister(sim::SimHeadZA04::kRegWake, 4); }

  // The characters the driver wrote to the character port.
  std::string SentText() const {
    std::string text;
    for (const RegWrite& w : SensorWrites(kBus, 1))
      if (w.address == CSensorZA04::kCharacterPort) text.push_back(static_cast<char>(w.value));
    return text;
  }

  // A copy of the head's state, taken under the camera's lock.
  sim::SimHeadZA04 Head() {
    sim::SimHeadZA04 copy;
    EXPECT_TRUE(sim::WithZA04Head(*camera, [&](sim::SimHeadZA04& h) { copy = h; }));
    return copy;
  }
  void OnHead(const std::function<void(sim::SimHeadZA04&)>& f) {
    ASSERT_TRUE(sim::WithZA04Head(*camera, f));
  }
};

TEST_F(ZA04Test, WakeUpIdentifiesAndStartsTheHead) {
  CSensorZA04 sensor(transport.get(), kBus);
  EXPECT_EQ(sensor.CheckSensor(), 0u);
  ASSERT_EQ(sensor.WakeSensor(), 1u);
  EXPECT_EQ(sensor.CheckSensor(), 1u);
  EXPECT_EQ(SentText(), "n\r\nx -c\r\n");
  const auto fpga = FpgaWrites();
  ASSERT_FALSE(fpga.empty());
  EXPECT_EQ(fpga.front(), (RegWrite{255, 4}));
  EXPECT_EQ(LastValue(fpga, CSensorZA04::kRegDataWidth), 2);
  EXPECT_TRUE(Head().Started());
}

TEST_F(ZA04Test, CommandsCarryLimitedAndConvertedValues) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  EXPECT_EQ(sensor.SetGlobalGain(300), 1u);  // limited before formatting
  EXPECT_EQ(sensor.SetExposureTime(70), 1u);
  EXPECT_EQ(SentText(), "g -v 255\ni -v 4000\n");
  EXPECT_EQ(Get(sensor, &CSensorBase::GetGlobalGain), 255u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 4000u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 70u);
  EXPECT_EQ(Head().Gain(), 255u);
  EXPECT_EQ(Head().ExposureLines(), 4000u);
  // A time beyond the line limit is sent as the limit.
  camera->ClearLog();
  EXPECT_EQ(sensor.SetExposureTime(0xFFFFFFFFu), 1u);
  EXPECT_EQ(SentText(), "i -v 1000000\n");
}

TEST_F(ZA04Test, RefusedCommandsAreResentUpToTheRetryCount) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  OnHead([](sim::SimHeadZA04& h) { h.RefuseNext(2); });
  EXPECT_EQ(sensor.SetGlobalGain(10), 1u);
  EXPECT_EQ(SentText(), "g -v 10\ng -v 10\ng -v 10\n");

  OnHead([](sim::SimHeadZA04& h) { h.RefuseNext(3); });
  EXPECT_EQ(sensor.SetGlobalGain(20), 0u);
  uint32_t gain = 0;
  ASSERT_EQ(sensor.GetGlobalGain(&gain), 1u);
  EXPECT_EQ(gain, 10u);  // unchanged by the failure
  EXPECT_EQ(Head().Gain(), 10u);
}

TEST_F(ZA04Test, LateAndSplitRepliesStillCount) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  OnHead([](sim::SimHeadZA04& h) { h.DelayNextReply(5); });
  EXPECT_EQ(sensor.SetGlobalGain(1), 1u);
  // A reply that pauses after its first character is judged as one line.
  OnHead([](sim::SimHeadZA04& h) { h.DelayNextReply(3, 1); });
  EXPECT_EQ(sensor.SetGlobalGain(2), 1u);
  OnHead([](sim::SimHeadZA04& h) {
    h.RefuseNext(1);
    h.DelayNextReply(2, 1);  // "N", a pause, "G\r\n": still a refusal
  });
  EXPECT_EQ(sensor.SetGlobalGain(3), 1u);
  EXPECT_EQ(Head().Commands(), 4u);
}

TEST_F(ZA04Test, ReplyThatNeverComesFailsAtTheLimit) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus, std::chrono::milliseconds(200));
  OnHead([](sim::SimHeadZA04& h) { h.DelayNextReply(1000); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sensor.SetGlobalGain(5), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetGlobalGain), 128u);
}

TEST_F(ZA04Test, ReceiveTextEndsLinesAndRespectsTheBufferSize) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SendText("x -c\r\n", 6), 1u);
  char buffer[16];
  std::memset(buffer, 'z', sizeof(buffer));
  ASSERT_EQ(sensor.ReceiveText(buffer, sizeof(buffer)), 4u);
  EXPECT_EQ(0, std::memcmp(buffer, "OK\r\n", 5));
  EXPECT_EQ(buffer[5], 'z');
  // The head's own LF after the CR is still there; then nothing.
  EXPECT_EQ(sensor.ReceiveText(buffer, sizeof(buffer)), 1u);
  EXPECT_EQ(buffer[0], '\n');
  EXPECT_EQ(sensor.ReceiveText(buffer, sizeof(buffer)), 0u);

  // The length is reported whole; only size bytes are stored.
  ASSERT_EQ(sensor.SendText("n\r\n", 3), 1u);
  std::memset(buffer, 'z', sizeof(buffer));
  EXPECT_EQ(sensor.ReceiveText(buffer, 3), 16u);
  EXPECT_EQ(0, std::memcmp(buffer, "VEXzz", 5));

  // SendText stops at a zero byte and at the length; an empty text sends nothing.
  camera->ClearLog();
  EXPECT_EQ(sensor.SendText("g -v 7\0junk", 11), 1u);
  EXPECT_EQ(sensor.SendText("", 0), 0u);
  EXPECT_EQ(SentText(), "g -v 7");
}

TEST_F(ZA04Test, DebugModeIsEnteredOnceForHeadFpgaWrites) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.WriteHeadFpga(0x30, 0x01), 1u);
  EXPECT_EQ(SentText(), "d -y 5803164\r\nq -w x30 x01\n");
  EXPECT_TRUE(CSensorZA04::CachedDebugMode());

  camera->ClearLog();
  ASSERT_EQ(sensor.WriteHeadFpga(0x3C, 0xAB), 1u);
  EXPECT_EQ(SentText(), "q -w x3c xab\n");
  EXPECT_EQ(Head().HeadFpga(0x3C), 0xAB);

  // Trigger mode: register 48, then the latch on 60.
  camera->ClearLog();
  ASSERT_EQ(sensor.SetTriggerMode(1), 1u);
  EXPECT_EQ(SentText(), "q -w x30 x01\nq -w x3c x00\nq -w x3c x01\n");
  EXPECT_EQ(Get(sensor, &CSensorBase::GetTriggerMode), 1u);

  ASSERT_EQ(sensor.SetDebugMode(false), 1u);
  EXPECT_FALSE(Head().DebugMode());
  EXPECT_FALSE(CSensorZA04::CachedDebugMode());
}

TEST_F(ZA04Test, TriggerModeFailsWhenTheHeadRefusesTheWrites) {
  WakeHead();
  CSensorZA04 sensor(transport.get(), kBus);
  ASSERT_EQ(sensor.SetDebugMode(true), 1u);
  // The head leaves debug mode behind the driver's back (the process-wide
  // state still says debug mode), so it refuses FPGA writes.
  ASSERT_EQ(sensor.SendText("d -n\r\n", 6), 1u);
  EXPECT_EQ(sensor.SetTriggerMode(2), 0u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetTriggerMode), kDefaultModeFlags);
}

TEST(ZA04WithoutController, TextAndWakeUpFail) {
  CSensorZA04 sensor(nullptr, kBus);
  char buffer[8] = {};
  EXPECT_EQ(sensor.SendText("n\r\n", 3), 0u);
  EXPECT_EQ(sensor.ReceiveText(buffer, sizeof(buffer)), 0u);
  EXPECT_EQ(sensor.WakeSensor(), 0u);
}

TEST(ZA04DeviceModel, OpeningWakesTheHeadAndTextIsForwarded) {
  CSensorZA04::ForgetDebugMode();
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(kProduct));  // the head starts asleep: opening wakes it
  StreamCamera& cam = *m.cam;
  EXPECT_TRUE(sim::WithZA04Head(*m.sim, [](sim::SimHeadZA04& h) { EXPECT_TRUE(h.Started()); }));
  ASSERT_EQ(cam.SendText("n\r\n", 3), 1u);
  char buffer[32] = {};
  ASSERT_EQ(cam.ReceiveText(buffer, sizeof(buffer)), 16u);
  EXPECT_STREQ(buffer, "VEXCAM-ZA04-CL\r\n");
  EXPECT_EQ(cam.CloseCamera(), 1u);
}

}  // namespace
}  // namespace vexcam::test
