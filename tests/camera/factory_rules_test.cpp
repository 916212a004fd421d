// The factory table and the per-product constants, without hardware.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "camera/product_rules.h"
#include "camera/sensor_factory.h"
#include "sensors/sensor_mt9f001.h"
#include "sensors/sensor_za01.h"

namespace vexcam {
namespace {

// The udev rule grants access to exactly the products the transport opens.
TEST(SensorFactory, UdevRuleNamesEveryProductOfTheFamilyAndNothingElse) {
  std::ifstream rules(VEXCAM_SOURCE_DIR "/udev/60-vexcam.rules");
  ASSERT_TRUE(rules.is_open());
  std::set<uint16_t> granted;
  const std::regex product(R"re(ATTR\{idVendor\}=="04b4", ATTR\{idProduct\}=="([0-9a-f]{4})")re");
  for (std::string line; std::getline(rules, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, product)) << line;  // no rule for the whole vendor id
    granted.insert(static_cast<uint16_t>(std::stoul(m[1].str(), nullptr, 16)));
  }
  const std::vector<uint16_t> family = FamilyProductIds();
  EXPECT_EQ(granted, std::set<uint16_t>(family.begin(), family.end()));
}

TEST(SensorFactory, RowsCarryBusAddressAndModelNumber) {
  struct Expect {
    uint16_t pid;
    SensorDriver driver;
    uint8_t bus;
    uint32_t model;
  };
  const Expect expect[] = {
      {0x3200, SensorDriver::kZA01, 0x48, 0},     {0x3030, SensorDriver::kMT9P001, 0x90, 0},
      {0x3042, SensorDriver::kMT9J001, 0x20, 0},  {0x3130, SensorDriver::kZA15, 0x42, 0},
      {0x31B0, SensorDriver::kIMX250, 0x48, 59},  {0x32A0, SensorDriver::kIMX250, 0x48, 113},
      {0x3270, SensorDriver::kIMX990, 0x48, 110}, {0x33B0, SensorDriver::kGLUX9701, 0x48, 114},
      {0x3310, SensorDriver::kZA20, 0x40, 116},   {0x3380, SensorDriver::kIMX992, 0x48, 130},
  };
  for (const Expect& e : expect) {
    const SensorFactoryRow& row = FindSensorRow(e.pid);
    EXPECT_EQ(row.productId, e.pid);
    EXPECT_EQ(row.driver, e.driver) << std::hex << e.pid;
    EXPECT_EQ(row.busAddress, e.bus) << std::hex << e.pid;
    EXPECT_EQ(row.modelNumber, e.model) << std::hex << e.pid;
  }
  const SensorFactoryRow& other = FindSensorRow(0x3999);
  EXPECT_EQ(other.driver, SensorDriver::kMT9F001);
  EXPECT_EQ(other.busAddress, 0x20);
  EXPECT_EQ(ChipProbeRow().driver, SensorDriver::kMT9F002);
}

TEST(SensorFactory, BuildsTheTargetDriverAndTheFallbackWithoutController) {
  SensorDriver chosen = SensorDriver::kCount;
  auto za01 = CreateSensor(0x3200, nullptr, &chosen);
  ASSERT_NE(za01, nullptr);
  EXPECT_EQ(chosen, SensorDriver::kZA01);
  EXPECT_NE(dynamic_cast<CSensorZA01*>(za01.get()), nullptr);
  EXPECT_EQ(za01->BusAddress(), 0x48);

  auto unknown = CreateSensor(0x1234, nullptr, &chosen);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(chosen, SensorDriver::kMT9F001);
  EXPECT_NE(dynamic_cast<CSensorMT9F001*>(unknown.get()), nullptr);

  // The chip probe needs the bus: without a controller the open fails.
  EXPECT_EQ(CreateSensor(kChipProbeProductId, nullptr, &chosen), nullptr);
}

TEST(ProductRules, NamesAndWindowRegisters) {
  EXPECT_STREQ(DeviceNameFormat(0x3130), "VexCnv-ZA15_%02d");
  EXPECT_EQ(DeviceNameFormat(0x3200), nullptr);
  EXPECT_EQ(WindowRegistersOf(0x3200), WindowRegisterSet::kStandard);
  EXPECT_EQ(WindowRegistersOf(0x31E0), WindowRegisterSet::kAlternate);
  EXPECT_EQ(WindowRegistersOf(0x3330), WindowRegisterSet::kNone);
  EXPECT_EQ(WindowRegistersOf(0x33A0), WindowRegisterSet::kNoneDone);
}

TEST(ProductRules, OffsetRegistersFollowAreaAndMirror) {
  SensorInfo info;
  info.arrayWidth = 2048;
  info.arrayHeight = 1536;
  info.effectiveHeight = 1536;
  info.areaX = 100;
  info.areaY = 40;
  info.areaWidth = 1024;
  info.areaHeight = 768;
  OffsetRegisters o = OffsetRegistersOf(0x31C0, info, 1, 0);
  EXPECT_TRUE(o.present);
  EXPECT_EQ(o.a, 12u);
  EXPECT_EQ(o.b, 2048u - 100 - 1024);  // above one byte: the high byte goes to 77
  info.mirrorV.current = 1;
  o = OffsetRegistersOf(0x31F0, info, 1, 0);
  EXPECT_EQ(o.a, 40u + 41);
  EXPECT_EQ(o.b, 100u + 64);
  info.areaWidth = 2048;
  info.areaHeight = 1536;
  o = OffsetRegistersOf(0x3300, info, 1, 0);
  EXPECT_EQ(o.a, 11u);
  EXPECT_EQ(o.b, 8u);
  info.mirrorH.current = 1;
  o = OffsetRegistersOf(0x3260, info, 0, 0);
  EXPECT_EQ(o.a, 25u);
  EXPECT_EQ(o.b, 100u);
  EXPECT_EQ(OffsetRegistersOf(0x30F0, info, 1, 19).a, 31u);
  EXPECT_EQ(OffsetRegistersOf(0x30F0, info, 1, 18).a, 0u);
  EXPECT_FALSE(OffsetRegistersOf(0x3200, info, 1, 0).present);
}

}  // namespace
}  // namespace vexcam
