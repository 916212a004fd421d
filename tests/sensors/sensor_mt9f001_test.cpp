#include <gtest/gtest.h>

#include <algorithm>

#include "fake_controller.h"
#include "sensors/sensor_mt9f001.h"

namespace vexcam {
namespace {

using test::FakeController;
using test::Value;
using Pair = std::pair<uint16_t, uint16_t>;

// Value of the last write to a sensor register, or -1.
int LastWrite(const std::vector<Pair>& writes, uint16_t address) {
  for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
    if (it->first == address) return it->second;
  }
  return -1;
}

size_t IndexOf(const std::vector<Pair>& writes, Pair p, size_t from = 0) {
  for (size_t i = from; i < writes.size(); ++i) {
    if (writes[i] == p) return i;
  }
  return writes.size();
}

TEST(Mt9f001Registers, SixteenBitWordsOnBus32) {
  FakeController fake;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.WriteSensorRegister(0x305E, 0x1148), 1u);
  ASSERT_EQ(fake.busWrites.size(), 1u);
  EXPECT_EQ(fake.busWrites[0].address, 0x20);
  EXPECT_EQ(fake.busWrites[0].bytes, (std::vector<uint8_t>{0x30, 0x5E, 0x11, 0x48}));
  fake.sensor[0x0000] = 0x2C01;
  uint32_t v = 0;
  ASSERT_EQ(s.ReadSensorRegister(0, &v), 1u);
  EXPECT_EQ(v, 0x2C01u);  // first byte is the high byte
  EXPECT_EQ(s.CheckSensor(), 1u);

  fake.sensor[0x0000] = 0;
  EXPECT_EQ(s.CheckSensor(), 0u);
  CSensorMT9F001 unplugged(nullptr, 0x20);
  EXPECT_EQ(unplugged.CheckSensor(), 0u);
  EXPECT_EQ(unplugged.SetGlobalGain(3), 0u);
}

TEST(Mt9f001Startup, ListSequencerAndDefaultsInOrder) {
  FakeController fake;
  fake.sensor[0x3040] = 0x0041;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto w = fake.SensorWrites();
  ASSERT_GT(w.size(), 290u);
  EXPECT_EQ(w[0], (Pair{0x301A, 0x0001}));
  EXPECT_EQ(w[1], (Pair{0x301A, 0x10D0}));

  // The sequencer: 226 consecutive words from 0x3D00 with its telling rows.
  const size_t seq = IndexOf(w, {0x3D00, 0x0439});
  ASSERT_LT(seq + 226, w.size());
  for (uint32_t i = 0; i < 226; ++i) {
    EXPECT_EQ(w[seq + i].first, 0x3D00 + 2 * i);
    EXPECT_EQ(w[seq + i].second, CSensorMT9F001::SequencerWord(i));
  }
  EXPECT_EQ(w[seq + 3].second, 0xFFFF);
  EXPECT_EQ(w[seq + 225], (Pair{0x3EC2, 0x8179}));  // the no-op fill runs to the end
  EXPECT_EQ(w[seq + 226], (Pair{0x3EC4, 0}));

  // 0x3026 is read just before it is rewritten.
  const size_t rewrite = IndexOf(w, {0x3026, 0xFC7F});
  ASSERT_LT(rewrite, w.size());
  EXPECT_EQ(w[rewrite + 1], (Pair{0x301A, 0x11DC}));
  EXPECT_TRUE(std::find(fake.busReads.begin(), fake.busReads.end(),
                        std::pair<uint8_t, uint16_t>{0x20, 0x3026}) != fake.busReads.end());

  // Then gain, exposure and the 2 x 2 window of the full image.
  const size_t gain = IndexOf(w, {0x305E, 0x1140}, rewrite);
  const size_t exposure = IndexOf(w, {0x3012, 3422}, rewrite);  // 1754 / 0.5125
  EXPECT_LT(gain, exposure);
  EXPECT_LT(exposure, w.size());
  EXPECT_EQ(LastWrite(w, 0x034C), 2304);
  EXPECT_EQ(LastWrite(w, 0x034E), 1644);
  EXPECT_EQ(s.Info().lineLength, 2616u);
  EXPECT_EQ(s.Info().frameLength, 1790u);
  EXPECT_EQ(s.Info().areaFlag, 1u);
  // The exposure time survives the new line length: 1754 / 0.2725.
  EXPECT_EQ(LastWrite(w, 0x3012), 6436);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetExposureTime), 1754u);
}

TEST(Mt9f001Startup, BusFailureStopsTheList) {
  for (int budget : {0, 5, 40, 280}) {
    SCOPED_TRACE(budget);
    FakeController fake;
    fake.FailAfter(budget);
    CSensorMT9F001 s(&fake, 0x20);
    EXPECT_EQ(s.InitSensor(), 0u);
    EXPECT_EQ(fake.busWrites.size(), static_cast<size_t>(budget));
    EXPECT_EQ(Value(s, &CSensorMT9F001::GetGlobalGain), 64u);
    EXPECT_EQ(s.Info().areaWidth, 4608u);
  }
}

TEST(Mt9f001Window, FullResolutionProgram) {
  FakeController fake;
  fake.sensor[0x3040] = 0xFFFF;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.SetCaptureArea(0, 4608, 0, 3288, 0), 1u);
  const std::vector<Pair> expected = {
      {0x0104, 1},         {0x0344, 24},
      {0x0348, 24 + 4607}, {0x0346, 0},
      {0x034A, 3287},      {0x0400, 2},
      {0x0404, 16},        {0x034C, 4608},
      {0x034E, 3288},      {0x0342, 4920},
      {0x0340, 3434},      {0x3010, 0x0100},
      {0x3014, 0x056A},    {0x301A, 0x10DE},
      {0x0104, 0},         {0x3040, (0xFFFF & ~0xDBE) | 0x41 | 0x200},
  };
  const auto w = fake.SensorWrites();
  ASSERT_GE(w.size(), expected.size());
  EXPECT_EQ(std::vector<Pair>(w.begin(), w.begin() + expected.size()), expected);
  EXPECT_EQ(s.ReadModeShadow(), static_cast<uint32_t>((0xFFFF & ~0xDBE) | 0x41 | 0x200));
  uint32_t x = 0, width = 0, y = 0, height = 0, mode = 9;
  ASSERT_EQ(s.GetCaptureArea(&x, &width, &y, &height, &mode), 1u);
  EXPECT_EQ(x, 24u);
  EXPECT_EQ(width, 4608u);
  EXPECT_EQ(height, 3288u);
  EXPECT_EQ(mode, 0u);
}

TEST(Mt9f001Window, BinnedModesAndRefusedAreas) {
  FakeController fake;
  fake.sensor[0x3040] = 0;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.SetCaptureArea(0, 320, 0, 240, 1), 1u);
  EXPECT_EQ(s.Info().areaWidth, 160u);
  EXPECT_EQ(s.Info().areaHeight, 120u);
  EXPECT_EQ(s.Info().lineLength, 1848u);
  EXPECT_EQ(s.Info().frameLength, 266u);
  EXPECT_EQ(s.ReadModeShadow(), 0x2C3u);

  ASSERT_EQ(s.SetCaptureArea(64, 640, 8, 480, 2), 1u);
  EXPECT_EQ(s.Info().areaWidth, 160u);
  EXPECT_EQ(s.Info().areaHeight, 120u);
  EXPECT_EQ(s.ReadModeShadow(), 0x3C7u);

  fake.Clear();
  EXPECT_EQ(s.SetCaptureArea(0, 330, 0, 240, 0), 0u);     // width not a multiple of 16
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 240, 3), 0u);     // no mode 3
  EXPECT_EQ(s.SetCaptureArea(2, 320, 0, 240, 1), 0u);     // x not a multiple of 4
  EXPECT_EQ(s.SetCaptureArea(0, 304, 0, 240, 0), 0u);     // narrower than 320
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 6, 0), 0u);       // lower than 8
  EXPECT_EQ(s.SetCaptureArea(4304, 320, 0, 240, 0), 0u);  // beyond the array
  EXPECT_EQ(s.SetCaptureArea(0xFFFFFFF0, 320, 0, 240, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 0xFFFFFF00, 0, 240, 0), 0u);
  EXPECT_TRUE(fake.busWrites.empty());
  EXPECT_TRUE(fake.busReads.empty());
  EXPECT_EQ(s.Info().areaFlag, 2u);
}

TEST(Mt9f001Window, FailedWriteReleasesTheHoldAndKeepsTheArea) {
  FakeController fake;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.SetCaptureArea(0, 320, 0, 240, 1), 1u);
  fake.Clear();
  fake.FailAfter(4);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 480, 0), 0u);
  EXPECT_EQ(s.Info().areaWidth, 160u);
  EXPECT_EQ(s.Info().lineLength, 1848u);
}

TEST(Mt9f001Gains, LowSevenBitsAreWrittenTheArgumentIsStored) {
  FakeController fake;
  CSensorMT9F001 s(&fake, 0x20);
  ASSERT_EQ(s.SetGlobalGain(200), 1u);
  EXPECT_EQ(fake.sensor[0x305E], 0x1148);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetGlobalGain), 200u);

  ASSERT_EQ(s.SetColorGainRed(1), 1u);
  ASSERT_EQ(s.SetColorGainGreen1(2), 1u);
  ASSERT_EQ(s.SetColorGainGreen2(3), 1u);
  ASSERT_EQ(s.SetColorGainBlue(4), 1u);
  EXPECT_EQ(fake.sensor[0x305A], 0x1101);
  EXPECT_EQ(fake.sensor[0x3056], 0x1102);
  EXPECT_EQ(fake.sensor[0x305C], 0x1103);
  EXPECT_EQ(fake.sensor[0x3058], 0x1104);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetColorGainGreen2), 3u);

  fake.FailAfter(0);
  EXPECT_EQ(s.SetColorGainBlue(9), 0u);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetColorGainBlue), 4u);
}

TEST(Mt9f001Exposure, TimeToLinesAtTheLineLength) {
  FakeController fake;
  CSensorMT9F001 s(&fake, 0x20);
  EXPECT_NEAR(s.LineTime(), 0.5125, 1e-12);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(fake.sensor[0x3012], 195);
  EXPECT_EQ(s.SetExposureTime(0), 0u);
  ASSERT_EQ(s.SetExposureTime(1), 1u);  // less than a line: at least 1
  EXPECT_EQ(fake.sensor[0x3012], 1);
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(fake.sensor[0x3012], 32767);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetExposureTime), 16793u);  // 32767 x 0.5125
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetExposureTimeMax), 16793u);

  EXPECT_EQ(s.SetExposureLines(0), 0u);
  EXPECT_EQ(s.SetExposureLines(40000), 0u);
  EXPECT_EQ(Value(s, &CSensorMT9F001::GetExposureLines), 32767u);
}

}  // namespace
}  // namespace vexcam
