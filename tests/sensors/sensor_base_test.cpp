#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <tuple>

#include "fake_controller.h"
#include "sensors/frame_geometry.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"
#include "sensors/sensor_za01.h"
#include "sensors/table_driven_sensor.h"
#include "sensors/update_strobe.h"

namespace vexcam {
namespace {

using test::FakeController;
using test::Value;

TEST(SensorBaseDefaults, EveryOperationAnswersNotSupportedFromEmptyRecords) {
  FakeController fake;
  CSensorBase base(&fake, 72);
  EXPECT_EQ(base.GetCorrectionMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.GetOutputMode(), 0xFFFFFFFFu);
  EXPECT_EQ(base.IsColorModeSupported(), 1u);
  EXPECT_EQ(base.IsBinningSupported(), 1u);
  EXPECT_EQ(base.IsSubSampleSupported(), 1u);
  EXPECT_EQ(base.GetModeFlags(), 15u);
  EXPECT_EQ(base.CheckSensor(), 0u);
  EXPECT_EQ(base.InitSensor(), 0u);
  EXPECT_EQ(base.SetCaptureArea(0, 640, 0, 512, 0), 0u);
  EXPECT_EQ(base.SetExposureTime(100), 0u);
  EXPECT_EQ(base.WriteSensorRegister(1, 2), 0u);
  EXPECT_EQ(base.WriteSensorRegisterVerified(1, 2), 0u);
  EXPECT_EQ(base.IsPeltierSupported(), 0u);
  double t = 0;
  EXPECT_EQ(base.GetTemperature(&t), 0u);
  base.StartMonitor();
  EXPECT_EQ(base.IsMonitorRunning(), 0u);
  // Nothing reached the hardware.
  EXPECT_TRUE(fake.fpgaWrites.empty());
  EXPECT_TRUE(fake.busWrites.empty());

  // Record getters write the (empty) field and return its supported flag.
  uint32_t v = 77;
  EXPECT_EQ(base.GetAnalogGainMax(&v), 0u);
  EXPECT_EQ(v, 0u);
  v = 77;
  EXPECT_EQ(base.GetGainModeCurrent(&v), 0u);
  EXPECT_EQ(v, 0u);
  double s = 5.0;
  EXPECT_EQ(base.GetExposureTimeExMax(&s), 0u);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(base.GetAnalogGain(nullptr), 0u);
}

std::vector<const SensorConstants*> AllRows() {
  std::vector<const SensorConstants*> rows;
  for (uint32_t i = 0; i < static_cast<uint32_t>(SensorDriver::kCount); ++i) {
    rows.push_back(&SensorConstantsOf(static_cast<SensorDriver>(i)));
  }
  return rows;
}

void ExpectOrdered(const RangeRecord& r, const char* what) {
  if (r.supported == 0) return;
  SCOPED_TRACE(what);
  EXPECT_LE(r.minimum, r.defaultValue);
  EXPECT_LE(r.defaultValue, r.maximum);
  EXPECT_LE(r.minimum, r.current);
  EXPECT_LE(r.current, r.maximum);
}

TEST(SensorConstantsTable, EveryRowIsConsistent) {
  const std::set<uint8_t> buses = {0, 32, 64, 66, 72, 108, 144};
  std::set<std::string> names;
  uint32_t index = 0;
  for (const SensorConstants* row : AllRows()) {
    const SensorConstants& c = *row;
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<uint32_t>(c.driver), index++);
    EXPECT_TRUE(names.insert(c.name).second);
    EXPECT_TRUE(buses.count(c.busAddress));
    EXPECT_GT(c.effectiveWidth, 0u);
    EXPECT_GT(c.effectiveHeight, 0u);
    // The effective image lies inside the array; IMX159's 3504 rows from row
    // 18 overhang its 3520 by two, as the camera reports them.
    EXPECT_LE(c.originX + c.effectiveWidth, c.arrayWidth);
    EXPECT_LE(c.originY + c.effectiveHeight,
              c.arrayHeight + (c.driver == SensorDriver::kIMX159) * 2);
    EXPECT_TRUE(c.bitsPerPixel == 0 || c.bitsPerPixel == 8 || c.bitsPerPixel == 12 ||
                c.bitsPerPixel == 16);
    ExpectOrdered(c.globalGain, "global gain");
    ExpectOrdered(c.exposureLines, "exposure lines");
    ExpectOrdered(c.colorGain, "colour gain");
    ExpectOrdered(c.exposureTime, "exposure time");
    ExpectOrdered(c.analogGain, "analog gain");
    ExpectOrdered(c.gainMode, "gain mode");
    for (const MirrorRecord& m : {c.mirrorV, c.mirrorH}) EXPECT_LE(m.defaultValue, 1u);
    // Window modes fit the array, differ, and include the full image that
    // InitSensor applies.
    for (const WindowMode& w : c.windowModes) {
      EXPECT_LE(w.x + w.width, c.arrayWidth);
      EXPECT_LE(w.y + w.height, c.arrayHeight);
      EXPECT_EQ(FindWindowMode(c, w.x, w.y, w.width, w.height), &w - c.windowModes.data());
    }
    if (!c.windowModes.empty()) {
      EXPECT_GE(FindWindowMode(c, c.originX, c.originY, c.effectiveWidth, c.effectiveHeight), 0);
    }
  }
}

// Any row makes a working driver base that answers from its record.
TEST(TableDrivenSensor, RecordGettersAnswerFromEveryRow) {
  using S = CTableDrivenSensor;
  for (const SensorConstants* row : AllRows()) {
    const SensorConstants& c = *row;
    SCOPED_TRACE(c.name);
    S s(nullptr, c.busAddress, c.driver);
    EXPECT_EQ(Value(s, &S::GetExposureLinesDefault), c.exposureLines.defaultValue);
    EXPECT_EQ(Value(s, &S::GetGlobalGainMax), c.globalGain.maximum);
    uint32_t v = 0;
    // Current colour gains exist only where the record has them.
    EXPECT_EQ(s.GetColorGainBlue(&v), c.colorGain.supported);
    if (c.pixelClockKhz != 0 && c.lineLength != 0) {
      EXPECT_GE(Value(s, &S::GetExposureTimeMin), 1u);
      EXPECT_LE(Value(s, &S::GetExposureTimeMin), Value(s, &S::GetExposureTimeMax));
    }
    uint32_t x = 9, width = 0, y = 9, height = 0, flag = 9;
    ASSERT_EQ(s.GetCaptureArea(&x, &width, &y, &height, &flag), 1u);
    EXPECT_EQ(std::tie(x, width, y, height, flag),
              std::make_tuple(c.originX, c.effectiveWidth, c.originY, c.effectiveHeight, 0u));
    EXPECT_EQ(s.GetCaptureArea(&x, nullptr, &y, &height, &flag), 0u);
  }
}

TEST(WindowModes, ListedWindowsOnlyOrAnyAreaInTheArray) {
  const SensorConstants& za01 = SensorConstantsOf(SensorDriver::kZA01);
  EXPECT_TRUE(AcceptsWindow(za01, 0, 0, 640, 512));
  EXPECT_TRUE(AcceptsWindow(za01, 160, 136, 320, 240));
  EXPECT_TRUE(AcceptsWindow(za01, 240, 196, 160, 120));
  EXPECT_FALSE(AcceptsWindow(za01, 164, 136, 320, 240));  // no program for it
  EXPECT_FALSE(AcceptsWindow(za01, -160, 136, 320, 240));
  EXPECT_FALSE(AcceptsWindow(za01, INT32_MAX, 0, INT32_MAX, 512));
  const SensorConstants& free = SensorConstantsOf(SensorDriver::kMT9F001);
  EXPECT_TRUE(AcceptsWindow(free, 8, 4, 320, 240));
  EXPECT_FALSE(AcceptsWindow(free, 8, 0, 4608, 3288));  // beyond the array
  EXPECT_FALSE(AcceptsWindow(free, 0, -1, 320, 240));
}

// 150 for model numbers 103 and 115, none for 122, 108 for all others. A
// failed raise writes nothing more.
TEST(UpdateStrobe, RegisterFollowsModelNumber) {
  using Writes = std::vector<std::pair<uint8_t, uint8_t>>;
  const std::pair<uint32_t, Writes> cases[] = {
      {99, {{108, 1}, {108, 0}}},  {103, {{150, 1}, {150, 0}}},
      {115, {{150, 1}, {150, 0}}}, {122, {}},
      {0, {{108, 1}, {108, 0}}},
  };
  for (const auto& [model, writes] : cases) {
    SCOPED_TRACE(model);
    FakeController fake;
    EXPECT_EQ(PulseUpdateStrobe(&fake, model), 1u);
    EXPECT_EQ(fake.fpgaWrites, writes);
  }
  EXPECT_EQ(PulseUpdateStrobe(nullptr, 99), 0u);
  FakeController fake;
  fake.FailAfter(1);
  EXPECT_EQ(PulseUpdateStrobe(&fake, 99), 0u);
  fake.FailAfter(0);
  EXPECT_EQ(PulseUpdateStrobe(&fake, 99), 0u);
  EXPECT_EQ(fake.fpgaWrites, (Writes{{108, 1}}));

  // A driver pulses it after its trigger write.
  FakeController za01Fake;
  CSensorZA01 sensor(&za01Fake, 72);
  sensor.SetModelId(115);
  ASSERT_EQ(sensor.SetTriggerMode(5), 1u);
  EXPECT_EQ(za01Fake.fpgaWrites, (Writes{{88, 1}, {150, 1}, {150, 0}}));
}

TEST(FrameGeometry, SizeAndCapacityFor8And16Bits) {
  // The ZA01 full window.
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(0)), 327680u);
  EXPECT_EQ(FrameSizeBytes(640, 512, BytesPerPixelOfMode(1)), 655360u);
  EXPECT_EQ(FrameCapacityBytes(640, 512, 1), 491520u);  // 640 x 768, whole blocks
  EXPECT_EQ(FrameCapacityBytes(640, 512, 2), 983040u);
  // Rounded up to the next 8 KiB block.
  EXPECT_EQ(FrameCapacityBytes(160, 120, 1), 73728u);  // 248 x 288 = 71424
  EXPECT_EQ(BytesPerPixelOfMode(2), 2u);
  EXPECT_EQ(BytesPerPixelOfMode(3), 1u);
  // The largest array at 16 bits does not wrap 32 bits.
  EXPECT_EQ(FrameSizeBytes(19568, 12588, 2), 492643968ull);
  EXPECT_GT(FrameSizeBytes(65535, 65535, 2), 0xFFFFFFFFull);
}

}  // namespace
}  // namespace vexcam
