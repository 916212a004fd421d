// The product table: its invariants, the factory built from it, the offset
// rules, and agreement with the simulator's rows and the udev rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "camera/product_table.h"
#include "camera/sensor_factory.h"
#include "identity/build_identity.h"
#include "sensors/sensor_mt9f001.h"
#include "sim/sim_product_table.h"
#include "transport/vex_cy3_cam.h"

namespace vexcam {
namespace {

std::set<uint16_t> TableIds() {
  const std::vector<uint16_t> ids = FamilyProductIds();
  return std::set<uint16_t>(ids.begin(), ids.end());
}

TEST(ProductTable, IdsAreUniqueSortedAndFoundAgain) {
  ASSERT_LT(ProductRowsBegin(), ProductRowsEnd());
  for (const ProductRow* row = ProductRowsBegin(); row != ProductRowsEnd(); ++row) {
    if (row != ProductRowsBegin()) {
      EXPECT_LT(row[-1].productId, row->productId);
    }
    EXPECT_EQ(&ProductRowOf(row->productId), row) << std::hex << row->productId;
  }
  EXPECT_EQ(TableIds().count(build::ProductId()), 1u);
  EXPECT_EQ(ProductRowOf(0x1234).productId, 0);  // unknown ids get the fallback row
}

// Every row names the model an SDK built for it takes its names from: unique,
// letters and digits only (they become file, device and key names), and the
// build's own model is its product's.
TEST(ProductTable, ModelNamesAreUniqueAndNameTheBuild) {
  std::set<std::string> models;
  for (const ProductRow* r = ProductRowsBegin(); r != ProductRowsEnd(); ++r) {
    SCOPED_TRACE(::testing::Message() << "product 0x" << std::hex << r->productId);
    ASSERT_NE(r->model, nullptr);
    const std::string model = r->model;
    EXPECT_TRUE(models.insert(model).second);
    EXPECT_FALSE(model.empty());
    EXPECT_TRUE(
        std::all_of(model.begin(), model.end(), [](char c) { return std::isalnum(c) != 0; }));
  }
  EXPECT_STREQ(ProductRowOf(build::ProductId()).model, build::Model());
}

// Each row's rules fit together: a rule that needs data has it, and data no
// rule reads is absent (it would hint at a rule set on the wrong row).
TEST(ProductTable, EveryRowsRulesAreConsistent) {
  int chipProbes = 0;
  for (const ProductRow* r = ProductRowsBegin(); r != ProductRowsEnd(); ++r) {
    SCOPED_TRACE(::testing::Message() << "product 0x" << std::hex << r->productId);
    EXPECT_NE(r->construct, nullptr);
    if (r->nameFormat != nullptr) {
      EXPECT_NE(std::strstr(r->nameFormat, "%02d"), nullptr);
    }
    chipProbes += r->chipProbe ? 1 : 0;

    if (r->commandPieceBytes != 0) {
      EXPECT_EQ(r->framePath, FramePath::kCommandFrames);
      EXPECT_EQ(r->commandPieceBytes % kCommandUnitBytes, 0u);
    }
    // The whole-frame endpoint belongs to the camera without FPGA registers.
    EXPECT_EQ(r->framePath == FramePath::kAltEndpoint, r->controlPath == ControlPath::kCommandByte);

    const bool ownRegister = r->dataBits == DataBitsRule::kOwnRegister ||
                             r->dataBits == DataBitsRule::kOwnRegisterThenDriver;
    EXPECT_EQ(ownRegister, r->dataWidthRegister != 0);
    EXPECT_TRUE(r->dataModes == 2 || (r->dataModes == 3 && ownRegister));
    EXPECT_TRUE(r->planes == 1 || r->planes == 3);

    if (r->offsets == OffsetRule::kFixed || r->offsets == OffsetRule::kFpgaRevision) {
      EXPECT_TRUE(r->offsetA != 0 || r->offsetB != 0);
    }
    // Without window registers, offsets and window quirks would never be written.
    if (r->window == WindowRegisterSet::kNoneDone) {
      EXPECT_EQ(r->offsets, OffsetRule::kNone);
      EXPECT_EQ(r->windowQuirk, WindowQuirk::kNone);
    }
    // The cooled family shares its trigger, readout and level registers.
    EXPECT_EQ(r->cooledFamily, r->trigger == TriggerRule::kCooledArea);
    EXPECT_EQ(r->cooledFamily, r->readout == ReadoutRule::kFpga209);
    EXPECT_EQ(r->cooledFamily, r->levelValue);
    EXPECT_EQ(r->cooledFamily, r->offsets == OffsetRule::kCooledArea);
    // Only ZA01 applies exposures between frames.
    EXPECT_EQ(r->exposure == ExposureRule::kTransferThread, r->driver == SensorDriver::kZA01);
  }
  EXPECT_EQ(chipProbes, 1);
  EXPECT_TRUE(ProductRowOf(ChipProbeRow().productId).chipProbe);
  EXPECT_EQ(ProductRowOf(ChipProbeRow().productId).busAddress, ChipProbeRow().busAddress);
  EXPECT_NE(ProductRowOf(ChipProbeRow().productId).driver, ChipProbeRow().driver);
}

// Every product the table opens is simulated, and the simulator has no product
// the table lacks; both agree on how frames arrive.
TEST(ProductTable, SimulatorCoversExactlyTheTablesProducts) {
  std::set<uint16_t> simulated;
  for (uint32_t id = 0; id <= 0xFFFF; ++id) {
    if (sim::IsKnownSimProduct(static_cast<uint16_t>(id))) simulated.insert(id);
  }
  EXPECT_EQ(simulated, TableIds());
  for (uint16_t id : simulated) {
    const sim::FrameDelivery delivery = sim::LookupSimProduct(id).delivery;
    const FramePath path = ProductRowOf(id).framePath;
    const FramePath expected = delivery == sim::FrameDelivery::kHeader ? FramePath::kHeaders
                               : delivery == sim::FrameDelivery::kCommand
                                   ? FramePath::kCommandFrames
                                   : FramePath::kAltEndpoint;
    EXPECT_EQ(path, expected) << std::hex << id;
  }
}

// The udev rule grants access to exactly the products the transport opens.
TEST(ProductTable, UdevRuleNamesEveryProductOfTheFamilyAndNothingElse) {
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
  EXPECT_EQ(granted, TableIds());
}

TEST(SensorFactory, UnknownIdsGetTheFallbackAndTheChipProbeNeedsTheBus) {
  SensorDriver chosen = SensorDriver::kCount;
  auto unknown = CreateSensor(0x1234, nullptr, &chosen);
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(chosen, SensorDriver::kMT9F001);
  EXPECT_NE(dynamic_cast<CSensorMT9F001*>(unknown.get()), nullptr);
  EXPECT_EQ(unknown->BusAddress(), 0x20);
  // Without a controller the chip version cannot be read: the open fails.
  EXPECT_EQ(CreateSensor(ChipProbeRow().productId, nullptr, &chosen), nullptr);
}

TEST(ProductTable, OffsetRegistersFollowAreaAndMirror) {
  SensorInfo info;
  info.arrayWidth = 2048;
  info.arrayHeight = 1536;
  info.effectiveHeight = 1536;
  info.areaX = 100;
  info.areaY = 40;
  info.areaWidth = 1024;
  info.areaHeight = 768;
  OffsetRegisters o = OffsetRegistersOf(ProductRowOf(0x31C0), info, 1, 0);
  EXPECT_TRUE(o.present);
  EXPECT_EQ(o.a, 12u);
  EXPECT_EQ(o.b, 2048u - 100 - 1024);  // above one byte: the high byte goes to 77
  info.mirrorV.current = 1;
  o = OffsetRegistersOf(ProductRowOf(0x31F0), info, 1, 0);
  EXPECT_EQ(o.a, 40u + 41);
  EXPECT_EQ(o.b, 100u + 64);
  info.areaWidth = 2048;
  info.areaHeight = 1536;
  o = OffsetRegistersOf(ProductRowOf(0x3300), info, 1, 0);
  EXPECT_EQ(o.a, 11u);
  EXPECT_EQ(o.b, 8u);
  info.mirrorH.current = 1;
  o = OffsetRegistersOf(ProductRowOf(0x3260), info, 0, 0);
  EXPECT_EQ(o.a, 25u);
  EXPECT_EQ(o.b, 100u);
  const ProductRow& revisioned = ProductRowOf(0x30F0);
  EXPECT_TRUE(NeedsFpgaRevision(revisioned));
  EXPECT_EQ(OffsetRegistersOf(revisioned, info, 1, 19).a, 31u);
  EXPECT_EQ(OffsetRegistersOf(revisioned, info, 1, 18).a, 0u);
  EXPECT_FALSE(OffsetRegistersOf(ProductRowOf(0x3200), info, 1, 0).present);
}

}  // namespace
}  // namespace vexcam
