// The 16-bit register CMOS drivers against their simulated cameras.
#include <algorithm>
#include <memory>

#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/sensor_mt9f001.h"
#include "sensors/sensor_mt9f002.h"
#include "sensors/sensor_mt9j001.h"
#include "sensors/sensor_mt9p001.h"
#include "sim/sim_head_mt9.h"
#include "stream_check.h"

namespace vexcam::test {
namespace {

using F = CMt9FamilySensor;

// Puts the kMT9F chip back for the tests that follow.
struct ChipScope {
  explicit ChipScope(sim::Mt9fChip chip) { sim::SetMt9fChip(chip); }
  ~ChipScope() { sim::SetMt9fChip(sim::Mt9fChip::kFirst); }
};

class Mt9Test : public DriverTest {
 protected:
  std::vector<RegWrite> Writes() const { return SensorWrites(bus_, 2); }
  static size_t IndexOf(const std::vector<RegWrite>& w, RegWrite p, size_t from = 0) {
    for (size_t i = from; i < w.size(); ++i)
      if (w[i] == p) return i;
    return w.size();
  }
  void Use(uint16_t productId, uint8_t bus) {
    Attach(productId);
    bus_ = bus;
  }
  uint8_t bus_ = 0x20;
};

TEST_F(Mt9Test, ChipProbeChoosesTheRevision) {
  Use(0x3020, 0x20);
  SensorDriver chosen = SensorDriver::kCount;
  auto first = CreateSensor(0x3020, transport.get(), &chosen);
  EXPECT_EQ(chosen, SensorDriver::kMT9F001);
  EXPECT_NE(dynamic_cast<CSensorMT9F001*>(first.get()), nullptr);
  // The probe: register address 0 written, two bytes read back.
  const auto log = camera->SerialLog(0x20);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0, 0}));
  EXPECT_TRUE(log[1].in);
  EXPECT_EQ(log[1].length, 2u);

  camera->SetSensorRegister(0, sim::kMt9fSecondChipWord);
  auto second = CreateSensor(0x3020, transport.get(), &chosen);
  EXPECT_EQ(chosen, SensorDriver::kMT9F002);
  ASSERT_NE(dynamic_cast<CSensorMT9F002*>(second.get()), nullptr);
  EXPECT_EQ(second->CheckSensor(), 1u);

  // No answer: no driver.
  camera->InjectBusFailures(2);
  EXPECT_EQ(CreateSensor(0x3020, transport.get(), &chosen), nullptr);
}

// The 16-bit register words go high byte first: the gain registers below
// and J001's exact chip word read back.
TEST_F(Mt9Test, ChipChecks) {
  Use(0x3040, 0x20);
  CSensorMT9F001 f(transport.get(), 0x20);
  CSensorMT9J001 j(transport.get(), 0x20);
  EXPECT_EQ(f.CheckSensor(), 1u);
  EXPECT_EQ(j.CheckSensor(), 1u);
  camera->SetSensorRegister(0, 0x2C02);
  EXPECT_EQ(f.CheckSensor(), 1u);  // any answer but 0
  EXPECT_EQ(j.CheckSensor(), 0u);  // exactly its own chip
  camera->SetSensorRegister(0, 0);
  EXPECT_EQ(f.CheckSensor(), 0u);
}

TEST_F(Mt9Test, F001StartupSequencerAndDefaultsInOrder) {
  Use(0x3020, 0x20);
  camera->SetSensorRegister(0x3040, 0x0041);
  CSensorMT9F001 s(transport.get(), 0x20);
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto w = Writes();
  ASSERT_GT(w.size(), 290u);
  EXPECT_EQ(w[0], (RegWrite{0x301A, 0x0001}));
  EXPECT_EQ(w[1], (RegWrite{0x301A, 0x10D0}));

  // The sequencer: 226 consecutive words from 0x3D00 with its telling rows.
  const size_t seq = IndexOf(w, {0x3D00, 0x0439});
  ASSERT_LT(seq + 226, w.size());
  for (uint32_t i = 0; i < 226; ++i) {
    EXPECT_EQ(w[seq + i], (RegWrite{0x3D00 + 2 * i, CSensorMT9F001::SequencerWord(i)}));
  }
  EXPECT_EQ(w[seq + 3].value, 0xFFFFu);
  EXPECT_EQ(w[seq + 225], (RegWrite{0x3EC2, 0x8179}));  // the no-op fill runs to the end
  EXPECT_EQ(w[seq + 226], (RegWrite{0x3EC4, 0}));

  // 0x3026 is read just before it is rewritten.
  const auto log = camera->SerialLog(0x20);
  const auto read = std::find_if(log.begin(), log.end(), [](const sim::SimTransaction& t) {
    return t.data == std::vector<uint8_t>{0x30, 0x26};
  });
  ASSERT_LT(static_cast<size_t>(read - log.begin()) + 2, log.size());
  EXPECT_TRUE(read[1].in);
  EXPECT_EQ(read[2].data, (std::vector<uint8_t>{0x30, 0x26, 0xFC, 0x7F}));
  const size_t rewrite = IndexOf(w, {0x3026, 0xFC7F});
  EXPECT_EQ(w[rewrite + 1], (RegWrite{0x301A, 0x11DC}));

  // Then gain, exposure and the 2 x 2 window of the full image.
  const size_t gain = IndexOf(w, {0x305E, 0x1140}, rewrite);
  const size_t exposure = IndexOf(w, {0x3012, 3422}, rewrite);  // 1754 / 0.5125
  EXPECT_LT(gain, exposure);
  EXPECT_LT(exposure, w.size());
  EXPECT_EQ(LastValue(w, F::kRegOutputWidth), 2304);
  EXPECT_EQ(LastValue(w, F::kRegOutputHeight), 1644);
  EXPECT_EQ(s.Info().lineLength, 2616u);
  EXPECT_EQ(s.Info().frameLength, 1790u);
  EXPECT_EQ(s.Info().areaFlag, 1u);
  // The exposure time survives the new line length: 1754 / 0.2725.
  EXPECT_EQ(LastValue(w, F::kRegCoarseIntegration), 6436);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 1754u);
}

TEST_F(Mt9Test, EveryStartupStopsAtADeadBus) {
  Use(0x3030, 0x90);
  std::unique_ptr<CSensorBase> drivers[] = {
      std::make_unique<CSensorMT9F001>(transport.get(), 0x90),
      std::make_unique<CSensorMT9F002>(transport.get(), 0x90),
      std::make_unique<CSensorMT9J001>(transport.get(), 0x90),
      std::make_unique<CSensorMT9P001>(transport.get(), 0x90)};
  for (auto& s : drivers) {
    camera->ClearLog();
    camera->InjectBusFailures(1);
    EXPECT_EQ(s->InitSensor(), 0u);
    EXPECT_EQ(camera->SerialLog(0x90).size(), 1u);  // nothing after the failed first write
    EXPECT_EQ(s->Info().areaWidth, s->Info().effectiveWidth);
    EXPECT_EQ(Get(*s, &CSensorBase::GetGlobalGain), s->Info().globalGain.defaultValue);
    // With a live bus the list runs through to the first window.
    ASSERT_EQ(s->InitSensor(), 1u);
    EXPECT_EQ(s->Info().areaFlag, s->Info().extraWord2);
  }
}

// The first and second revisions share the window program and its timing.
template <typename T>
class Mt9fWindow : public Mt9Test {};
using Revisions = ::testing::Types<CSensorMT9F001, CSensorMT9F002>;
TYPED_TEST_SUITE(Mt9fWindow, Revisions);

TYPED_TEST(Mt9fWindow, FullResolutionProgram) {
  this->Use(0x3020, 0x20);
  this->camera->SetSensorRegister(0x3040, 0xFFFF);
  TypeParam s(this->transport.get(), 0x20);
  ASSERT_EQ(s.SetCaptureArea(0, 4608, 0, 3288, 0), 1u);
  const uint32_t readMode = (0xFFFF & ~0xDBEu) | 0x41 | 0x200;
  using W = DriverTest::RegWrite;
  const std::vector<W> expected = {
      {0x0104, 1},      {0x0344, 24},     {0x0348, 24 + 4607}, {0x0346, 0},
      {0x034A, 3287},   {0x0400, 2},      {0x0404, 16},        {0x034C, 4608},
      {0x034E, 3288},   {0x0342, 4920},   {0x0340, 3434},      {0x3010, 0x0100},
      {0x3014, 0x056A}, {0x301A, 0x10DE}, {0x0104, 0},         {0x3040, readMode},
  };
  const auto w = this->Writes();
  ASSERT_GE(w.size(), expected.size());
  EXPECT_EQ(std::vector<W>(w.begin(), w.begin() + expected.size()), expected);
  EXPECT_EQ(s.ReadModeShadow(), readMode);
  EXPECT_EQ(AreaOf(s), (Area{24, 4608, 0, 3288, 0}));
}

TYPED_TEST(Mt9fWindow, BinnedModesAndRefusedAreas) {
  this->Use(0x3020, 0x20);
  TypeParam s(this->transport.get(), 0x20);
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

  this->camera->ClearLog();
  EXPECT_EQ(s.SetCaptureArea(0, 330, 0, 240, 0), 0u);     // width not a multiple of 16
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 240, 3), 0u);     // no mode 3
  EXPECT_EQ(s.SetCaptureArea(2, 320, 0, 240, 1), 0u);     // x not a multiple of 4
  EXPECT_EQ(s.SetCaptureArea(0, 304, 0, 240, 0), 0u);     // narrower than 320
  EXPECT_EQ(s.SetCaptureArea(0, 320, 0, 6, 0), 0u);       // lower than 8
  EXPECT_EQ(s.SetCaptureArea(4304, 320, 0, 240, 0), 0u);  // beyond the array
  EXPECT_EQ(s.SetCaptureArea(0xFFFFFFF0, 320, 0, 240, 0), 0u);
  EXPECT_EQ(s.SetCaptureArea(0, 0xFFFFFF00, 0, 240, 0), 0u);
  EXPECT_TRUE(this->camera->SerialLog(0x20).empty());
  EXPECT_EQ(s.Info().areaFlag, 2u);

  // A bus failure keeps the area that was set.
  this->camera->InjectBusFailures(1);
  EXPECT_EQ(s.SetCaptureArea(0, 640, 0, 480, 0), 0u);
  EXPECT_EQ(s.Info().areaWidth, 160u);
  EXPECT_EQ(s.Info().lineLength, 1848u);
}

// The family's base: the same for every member.
TEST_F(Mt9Test, GainsWriteTheLowSevenBitsAndStoreTheArgument) {
  Use(0x3020, 0x20);
  CSensorMT9F001 s(transport.get(), 0x20);
  ASSERT_EQ(s.SetGlobalGain(200), 1u);
  EXPECT_EQ(camera->SensorRegister(0x305E), 0x1148);
  EXPECT_EQ(Get(s, &CSensorBase::GetGlobalGain), 200u);
  ASSERT_EQ(s.SetColorGainRed(1), 1u);
  ASSERT_EQ(s.SetColorGainGreen1(2), 1u);
  ASSERT_EQ(s.SetColorGainGreen2(3), 1u);
  ASSERT_EQ(s.SetColorGainBlue(4), 1u);
  EXPECT_EQ(camera->SensorRegister(0x305A), 0x1101);
  EXPECT_EQ(camera->SensorRegister(0x3056), 0x1102);
  EXPECT_EQ(camera->SensorRegister(0x305C), 0x1103);
  EXPECT_EQ(camera->SensorRegister(0x3058), 0x1104);
  EXPECT_EQ(Get(s, &CSensorBase::GetColorGainGreen2), 3u);
  camera->InjectBusFailures(1);
  EXPECT_EQ(s.SetColorGainBlue(9), 0u);
  EXPECT_EQ(Get(s, &CSensorBase::GetColorGainBlue), 4u);
}

TEST_F(Mt9Test, ExposureTimeToLinesAtTheLineLength) {
  Use(0x3020, 0x20);
  CSensorMT9F001 s(transport.get(), 0x20);
  EXPECT_NEAR(s.LineTime(), 0.5125, 1e-12);
  ASSERT_EQ(s.SetExposureTime(100), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3012), 195);
  EXPECT_EQ(s.SetExposureTime(0), 0u);
  ASSERT_EQ(s.SetExposureTime(1), 1u);  // less than a line: at least 1
  EXPECT_EQ(camera->SensorRegister(0x3012), 1);
  ASSERT_EQ(s.SetExposureTime(0xFFFFFFFF), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3012), 32767);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 16793u);  // 32767 x 0.5125
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureTimeMax), 16793u);
  EXPECT_EQ(s.SetExposureLines(0), 0u);
  EXPECT_EQ(s.SetExposureLines(40000), 0u);
  EXPECT_EQ(Get(s, &CSensorBase::GetExposureLines), 32767u);

  // The 2592 x 1944 sensor has no line length before its first window.
  CSensorMT9P001 p(transport.get(), 0x20);
  EXPECT_EQ(p.SetExposureTime(666), 0u);
  ASSERT_EQ(p.SetCaptureArea(0, 2592, 0, 1944, 0), 1u);
  EXPECT_EQ(p.Info().lineLength, 3330u);
  EXPECT_EQ(Get(p, &CSensorBase::GetExposureLines), 1920u);  // 666 / 0.346875
}

TEST_F(Mt9Test, J001ClockModesWriteThePllAndReadBack) {
  Use(0x3040, 0x20);
  CSensorMT9J001 s(transport.get(), 0x20);
  ASSERT_EQ(s.InitSensor(), 1u);
  const uint32_t readMode = s.ReadModeShadow();
  const uint16_t pll[3][6] = {{5, 2, 3, 40, 10, 2}, {5, 4, 3, 40, 10, 4}, {3, 1, 3, 40, 6, 1}};
  for (uint32_t mode : {1u, 0u, 2u}) {
    SCOPED_TRACE(mode);
    camera->ClearLog();
    ASSERT_EQ(s.SetSamplingRate(mode), 1u);
    std::vector<RegWrite> expected = {{0x301A, 0}};
    for (uint32_t i = 0; i < 6; ++i) expected.push_back({0x0300 + 2 * i, pll[mode][i]});
    expected.push_back({0x301A, 0x10DC});
    expected.push_back({0x3040, readMode});
    const auto w = Writes();
    ASSERT_GE(w.size(), expected.size());
    EXPECT_EQ(std::vector<RegWrite>(w.begin(), w.begin() + expected.size()), expected);
    EXPECT_EQ(s.Info().pixelClockKhz, CSensorMT9J001::PixelClockOfMode(mode));
    EXPECT_EQ(Get(s, &CSensorBase::GetSamplingRate), mode);
    EXPECT_EQ(Get(s, &CSensorBase::GetExposureTime), 1300u);  // kept across the clock change
  }
  // 1300 at the 2 x 2 line length (1920 + 596) and 80 MHz: 1300 / 0.3145.
  EXPECT_EQ(camera->SensorRegister(0x3012), 4133);

  camera->ClearLog();
  EXPECT_EQ(s.SetSamplingRate(3), 0u);
  EXPECT_TRUE(camera->SerialLog(0x20).empty());
  uint32_t mode = 7;
  camera->SetSensorRegister(0x0302, 3);
  EXPECT_EQ(s.GetSamplingRate(&mode), 0u);
  EXPECT_EQ(s.GetSamplingRate(nullptr), 0u);
}

TEST_F(Mt9Test, J001ReadsThroughTheControllerUnderTheModeFlag) {
  Use(0x3042, 0x20);
  CSensorMT9J001 full(transport.get(), 0x20);
  ASSERT_EQ(full.InitSensor(), 1u);
  const size_t fullList = Writes().size();

  camera->ClearLog();
  CSensorMT9J001 s(transport.get(), 0x20);
  s.SetModeFlags(kModeFlagAltRegisterPath);
  camera->SetSensorRegister(0x3040, 0x1234);
  uint32_t v = 0;
  ASSERT_EQ(s.ReadSensorRegister(0x3040, &v), 1u);
  EXPECT_EQ(v, 0x1234u);
  EXPECT_EQ(s.CheckSensor(), 1u);
  EXPECT_TRUE(camera->SerialLog(0x21).empty());  // no serial read at all
  const auto log = camera->Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const sim::SimTransaction& t) {
                            return t.kind == sim::SimTransaction::Kind::kControl &&
                                   t.request == 0x3F && t.value == 0x3040;
                          }),
            1);

  // The shorter list: no reset, the clock and the stream.
  camera->ClearLog();
  ASSERT_EQ(s.InitSensor(), 1u);
  const auto w = Writes();
  EXPECT_LT(w.size(), fullList);
  EXPECT_EQ(IndexOf(w, {0x301A, 0x0001}), w.size());
  EXPECT_LT(IndexOf(w, {0x0302, 1}), w.size());
  EXPECT_EQ(Get(s, &CSensorBase::GetSamplingRate), 2u);
}

// The mirror bits of the read-mode register: DriverTest.ZA05SixteenBitRegistersMirrorsAndGainSteps.
TEST_F(Mt9Test, P001MirrorsTriggerAndClockMode) {
  Use(0x3030, 0x90);
  CSensorMT9P001 s(transport.get(), 0x90);
  EXPECT_EQ(s.IsMirrorVSupported(), 1u);
  ASSERT_EQ(s.InitSensor(), 1u);
  ASSERT_EQ(s.SetMirrorV(1), 1u);
  ASSERT_EQ(s.SetMirrorH(1), 1u);
  // A window keeps both mirrors.
  ASSERT_EQ(s.SetCaptureArea(0, 1280, 0, 960, 1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x3040) & 0xC000, 0xC000);
  EXPECT_EQ(camera->SensorRegister(0x3040) & 0x1FF, 0xC3);

  // The trigger input stays armed across a window.
  ASSERT_EQ(s.SetTriggerMode(1), 1u);
  EXPECT_EQ(camera->SensorRegister(0x301A), CSensorMT9P001::kResetTriggered);
  ASSERT_EQ(s.SetCaptureArea(0, 2592, 0, 1944, 0), 1u);
  EXPECT_EQ(camera->SensorRegister(0x301A), CSensorMT9P001::kResetTriggered);
  EXPECT_EQ(Get(s, &CSensorBase::GetTriggerMode), 1u);
  ASSERT_EQ(s.SetTriggerMode(0), 1u);
  EXPECT_EQ(camera->SensorRegister(0x301A), F::kResetStreaming);

  EXPECT_EQ(Get(s, &CSensorBase::GetSamplingRate), 0u);  // 96 MHz
  EXPECT_EQ(s.SetSamplingRate(1), 0u);
}

// The second revision behind the chip probe (family_walk_test streams the others).
TEST(Mt9DeviceModelStream, SecondRevisionStreams) {
  ChipScope chip(sim::Mt9fChip::kSecond);
  StreamThroughDeviceModel({.productId = 0x3020, .driver = SensorDriver::kMT9F002});
}

// The camera without an FPGA register file: its controller reads the sensor,
// the frame arrives whole on the alternate endpoint sized by the sensor's
// output registers, and the capture settings answer 0 once the buffers are
// made (there are no window registers, so a data width change answers 0 too).
TEST(Mt9DeviceModelStream, AlternateEndpointProductStreams) {
  DeviceModel m;
  ASSERT_NO_FATAL_FAILURE(m.Open(0x3042));
  StreamCamera& cam = *m.cam;
  ASSERT_EQ(cam.ChosenDriver(), SensorDriver::kMT9J001);
  EXPECT_EQ(cam.Sensor()->GetModeFlags(), kModeFlagAltRegisterPath);
  ASSERT_EQ(cam.SetCaptureArea(cam.GetEffectiveOriginX(), cam.GetEffectiveOriginY(),
                               cam.GetEffectiveWidth(), cam.GetEffectiveHeight(), 0),
            1u);
  EXPECT_EQ(cam.SetExposureTime(100), 1u);
  for (uint32_t bits : {0u, 1u}) {
    SCOPED_TRACE(testing::Message() << "data width mode " << bits);
    cam.SetDataBits(bits);
    EXPECT_EQ(cam.ApplyCaptureSettings(), 0u);
    const Untagged shape{bits, 8, 8, 3840};  // the effective image starts 8 columns and rows in
    ASSERT_NO_FATAL_FAILURE(CheckFrames(cam, *m.sim, 0, 3, &shape));
  }
  EXPECT_EQ(cam.CloseCamera(), 1u);
}

}  // namespace
}  // namespace vexcam::test
