// The CCD drivers, ZA06..ZA08 and ICX274, against their simulated cameras.
#include <algorithm>

#include "driver_fixture.h"
#include "sensors/sensor_ccd.h"
#include "sensors/sensor_icx274.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

constexpr uint16_t kZA06 = 0x30B0;
constexpr uint16_t kZA07 = 0x30C0;
constexpr uint16_t kZA08 = 0x3090;

class CcdTest : public DriverTest {
 protected:
  // Timing-chip words the camera received (request 0xD0), in order.
  std::vector<RegWrite> ChipWords() const {
    std::vector<RegWrite> out;
    for (const sim::SimTransaction& t : camera->Log()) {
      if (t.kind != sim::SimTransaction::Kind::kControl || t.request != 0xD0 || !t.ok) continue;
      if (t.data.size() < 4) continue;
      const uint32_t word =
          t.data[0] | t.data[1] << 8 | t.data[2] << 16 | uint32_t{t.data[3]} << 24;
      out.push_back({uint32_t{t.value & 1u} << 15 | t.index, word});
    }
    return out;
  }
};

TEST_F(CcdTest, ExposureTimeRunsTheCounterBackwardsFromTheFrameEnd) {
  Attach(kZA08);
  CSensorZA08 sensor(transport.get(), 0);

  // 774 is longer than the frame: the counter's minimum, the time it gives.
  ASSERT_EQ(sensor.SetExposureTime(774), 1u);
  EXPECT_EQ(FpgaWritesTo({226, 227}), (std::vector<RegWrite>{{226, 1}, {227, 0}}));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 232u);

  // 100 fits: 902 - 387.9 lines, the requested time is kept.
  camera->ClearLog();
  ASSERT_EQ(sensor.SetExposureTime(100), 1u);
  EXPECT_EQ(FpgaWritesTo({226, 227}), (std::vector<RegWrite>{{226, 514 & 0xFF}, {227, 514 >> 8}}));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 514u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 100u);

  // 0 and lines outside the counter fail without a write and keep the values.
  camera->ClearLog();
  EXPECT_EQ(sensor.SetExposureTime(0), 0u);
  EXPECT_EQ(sensor.SetExposureLines(0), 0u);
  EXPECT_EQ(sensor.SetExposureLines(902), 0u);
  EXPECT_TRUE(FpgaWrites().empty());
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureLines), 514u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetExposureTime), 100u);

  // A too-long exposure stores the longest the counter allows; for ZA07 that
  // is the maximum of its exposure-time record.
  Attach(kZA07);
  CSensorZA07 za07(transport.get(), 0);
  ASSERT_EQ(za07.SetExposureTime(60000), 1u);
  EXPECT_EQ(Get(za07, &CSensorBase::GetExposureTime), 2233u);
  EXPECT_EQ(Get(za07, &CSensorBase::GetExposureTimeMax), 2233u);
  EXPECT_EQ(LastValue(FpgaWrites(), 226), 1);
}

TEST_F(CcdTest, GainsFrontEndPairsAndMirrorBits) {
  Attach(kZA08);
  CSensorZA08 sensor(transport.get(), 0);
  // Gains go to both chips, masked to ten bits.
  ASSERT_EQ(sensor.SetGlobalGain(0x7FF), 1u);
  EXPECT_EQ(ChipWords(), (std::vector<RegWrite>{{0x8005, 0x3FF}, {0x0005, 0x3FF}}));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetGlobalGain), 0x3FFu);

  // The analog gain: the whole value to FPGA 162/163, ten bits to the chips.
  camera->ClearLog();
  ASSERT_EQ(sensor.SetAnalogGain(0x1234), 1u);
  EXPECT_EQ(FpgaWritesTo({162, 163}), (std::vector<RegWrite>{{162, 0x34}, {163, 0x12}}));
  EXPECT_EQ(ChipWords(), (std::vector<RegWrite>{{0x8006, 0x234}, {0x0006, 0x234}}));
  EXPECT_EQ(Get(sensor, &CSensorBase::GetAnalogGain), 0x234u);

  // Channel gain and offset use the front end's register pairs.
  camera->ClearLog();
  uint32_t value = 0;
  for (uint32_t channel : {0u, 5u}) {
    EXPECT_EQ(sensor.SetChannelGain(channel, 100), 0u);
    EXPECT_EQ(sensor.SetChannelOffset(channel, 100), 0u);
    EXPECT_EQ(sensor.GetChannelGain(channel, &value), 0u);
  }
  EXPECT_EQ(sensor.SetChannelGain(3, 65536), 0u);
  EXPECT_TRUE(FpgaWrites().empty());

  ASSERT_EQ(sensor.SetChannelGain(3, 0xABCD), 1u);
  ASSERT_EQ(sensor.SetChannelOffset(3, 0x0102), 1u);
  EXPECT_EQ(FpgaWrites(),
            (std::vector<RegWrite>{{124, 0xCD}, {125, 0xAB}, {116, 0x02}, {117, 0x01}}));
  EXPECT_EQ(sensor.GetChannelGain(3, &value), 1u);
  EXPECT_EQ(value, 0xABCDu);
  EXPECT_EQ(sensor.GetChannelOffset(3, &value), 1u);
  EXPECT_EQ(value, 0x0102u);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetChannelGainDefault), 4096u);

  // The mirror bits keep the other bits of their register.
  camera->SetFpgaRegister(63, 0xF0);
  ASSERT_EQ(sensor.SetMirrorV(1), 1u);
  ASSERT_EQ(sensor.SetMirrorH(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 0xF3);
  ASSERT_EQ(sensor.SetMirrorV(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 0xF1);
  EXPECT_EQ(Get(sensor, &CSensorBase::GetMirrorV), 0u);

  // No trigger register: the free-run flags, reported as not supported.
  EXPECT_EQ(sensor.GetTriggerMode(&value), 0u);
  EXPECT_EQ(value, kDefaultModeFlags);
}

TEST_F(CcdTest, RegisterReadsComeFromTheShadow) {
  Attach(kZA08);
  CSensorZA08 sensor(transport.get(), 0);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  uint32_t word = 0;
  EXPECT_EQ(sensor.ReadSensorRegister(0x8408, &word), 1u);
  EXPECT_EQ(word, 303207u);
  EXPECT_EQ(sensor.ReadSensorRegister(0x8300, &word), 0u);  // never written
  EXPECT_EQ(sensor.ReadSensorRegister(0x8408, nullptr), 0u);

  // The shadow holds what was sent, even when the transfer failed; an
  // address the request cannot carry is refused.
  camera->Unplug();
  EXPECT_EQ(sensor.WriteSensorRegister(0x0123, 77), 0u);
  EXPECT_EQ(sensor.ReadSensorRegister(0x0123, &word), 1u);
  EXPECT_EQ(word, 77u);
  EXPECT_EQ(sensor.WriteSensorRegister(0x10123, 78), 0u);
  EXPECT_EQ(sensor.ReadSensorRegister(0x0123, &word), 1u);
  EXPECT_EQ(word, 77u);
}

TEST_F(CcdTest, InitSensorProgramsChipsThenEnablesThenDefaults) {
  Attach(kZA06);
  CSensorZA06 sensor(transport.get(), 0);
  ASSERT_EQ(sensor.InitSensor(), 1u);
  const std::vector<RegWrite> words = ChipWords();
  // Every vector word of both chips is sent, unused ones without timing.
  const auto vectors = std::count_if(words.begin(), words.end(), [](const RegWrite& w) {
    return (w.address & 0x7FFF) >= 0x400 && (w.address & 0x7FFF) < 0x4C0;
  });
  EXPECT_EQ(vectors, 2 * 192);
  EXPECT_EQ(LastValue(words, 0x8400), 0x3FFFFFF);
  // The FPGA enables in their order, the chips' release first.
  EXPECT_EQ(FpgaWritesTo({31, 32, 33, 34, 35, 36, 37, 224}),
            (std::vector<RegWrite>{
                {33, 1}, {32, 1}, {34, 1}, {35, 1}, {31, 1}, {36, 1}, {37, 1}, {224, 1}}));
  // Then the record defaults: gain 15 on both chips, one exposure line.
  EXPECT_EQ(LastValue(words, 0x8005), 15);
  EXPECT_EQ(LastValue(words, 0x0005), 15);
  EXPECT_EQ(LastValue(FpgaWrites(), 226), 1);
}

TEST_F(CcdTest, ClosingTheCameraStopsTheChipsBeforeTheFpga) {
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(kZA08));
  camera = m.sim;
  camera->ClearLog();
  EXPECT_EQ(m.cam->CloseCamera(), 1u);
  EXPECT_EQ(ChipWords(), (std::vector<RegWrite>{{0x0000, 3}, {0x8000, 3}}));
  EXPECT_EQ(FpgaWritesTo({31, 32, 33, 34, 35, 36, 37, 224}),
            (std::vector<RegWrite>{
                {37, 0}, {36, 0}, {31, 0}, {35, 0}, {34, 0}, {32, 0}, {33, 0}, {224, 0}}));
}

// The CCD without a shadow reads its timing chip through the controller.
TEST_F(CcdTest, ICX274ReadsTheChipThroughTheController) {
  Attach(0x3050);
  CSensorICX274 s(transport.get(), 0);
  uint32_t word = 0;
  ASSERT_EQ(s.WriteSensorRegister(0x8123, 0x4321), 1u);
  ASSERT_EQ(s.ReadSensorRegister(0x8123, &word), 1u);
  EXPECT_EQ(word, 0x4321u);
  camera->Unplug();
  EXPECT_EQ(s.ReadSensorRegister(0x8123, &word), 0u);  // no shadow answers
}

TEST_F(CcdTest, ICX274ExposureGainAndMirrorLimits) {
  Attach(0x3050);
  CSensorICX274 s(transport.get(), 0);
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto counter = [this] { return FpgaLE({226, 227}); };
  EXPECT_EQ(counter(), 312u);  // 10 ms of 32 us lines
  ASSERT_EQ(s.SetExposureTime(0), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 1u);
  EXPECT_EQ(counter(), 3u);
  ASSERT_EQ(s.SetExposureTime(50000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 20000u);
  EXPECT_EQ(counter(), 62500u);
  ASSERT_EQ(s.SetExposureLines(70000), 1u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 65535u);
  EXPECT_EQ(counter(), 65535u);

  EXPECT_EQ(s.SetGlobalGain(1024), 0u);
  ASSERT_EQ(s.SetGlobalGain(1023), 1u);
  uint32_t word = 0;
  ASSERT_EQ(s.ReadSensorRegister(5, &word), 1u);
  EXPECT_EQ(word, 1023u);

  ASSERT_EQ(s.SetMirrorV(1), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 2);
  ASSERT_EQ(s.SetMirrorH(1), 1u);
  ASSERT_EQ(s.SetMirrorV(0), 1u);
  EXPECT_EQ(camera->FpgaRegister(63), 1);
}

}  // namespace
}  // namespace vexcam::test
