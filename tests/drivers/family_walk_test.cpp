// The whole family as the camera device model sees it: every product id
// against its simulated camera builds its own driver class with the bus
// address, model number, orientation word and geometry the family table
// gives. The expectations below are the family table itself, written out
// once here apart from the product table and the driver rows they check.
#include <set>
#include <vector>

#include "camera/product_table.h"
#include "camera/sensor_factory.h"
#include "driver_fixture.h"
#include "sensors/table_driven_sensor.h"

namespace vexcam::test {
namespace {

using D = SensorDriver;

struct Size {
  uint32_t width, height;
};
struct Effective {
  uint32_t x, y, width, height;
};
struct FamilyEntry {
  uint16_t productId;
  SensorDriver driver;
  uint32_t modelNumber;
  uint8_t busAddress;
  uint32_t orientation;
  Size array;
  Effective effective;
};

// clang-format off
constexpr FamilyEntry kFamily[] = {
    {0x3020, D::kMT9F001, 0, 0x20, 0, {4608, 3288}, {0, 0, 4608, 3288}},
    {0x3030, D::kMT9P001, 0, 0x90, 0, {2592, 1944}, {0, 0, 2592, 1944}},
    {0x3040, D::kMT9J001, 0, 0x20, 0, {3856, 2764}, {8, 8, 3840, 2752}},
    {0x3042, D::kMT9J001, 0, 0x20, 0, {3856, 2764}, {8, 8, 3840, 2752}},
    {0x3050, D::kICX274, 0, 0x00, 0, {1600, 1200}, {0, 0, 1600, 1200}},
    {0x3090, D::kZA08, 0, 0x00, 4, {2336, 1752}, {0, 0, 2336, 1752}},
    {0x30B0, D::kZA06, 0, 0x00, 0, {4896, 3264}, {0, 0, 4896, 3264}},
    {0x30C0, D::kZA07, 0, 0x00, 0, {6576, 4384}, {0, 0, 6576, 4384}},
    {0x30F0, D::kIMX178, 0, 0x48, 0, {3072, 2048}, {0, 0, 3072, 2048}},
    {0x3100, D::kIMX174, 0, 0x48, 0, {1920, 1200}, {0, 0, 1920, 1200}},
    {0x3110, D::kIMX183, 0, 0x48, 0, {5520, 3680}, {0, 0, 5520, 3680}},
    {0x3120, D::kIMX159, 0, 0x48, 0, {4800, 3520}, {72, 18, 4672, 3504}},
    {0x3130, D::kZA15, 0, 0x42, 0, {1920, 1080}, {0, 0, 1920, 1080}},
    {0x3140, D::kZA05, 0, 0x6C, 0, {1280, 1024}, {0, 0, 1280, 1024}},
    {0x3150, D::kZA03, 0, 0x6C, 0, {640, 512}, {0, 0, 640, 512}},
    {0x3170, D::kZA02, 0, 0x6C, 0, {320, 256}, {0, 0, 320, 256}},
    {0x3180, D::kZA04, 100, 0x48, 2, {1280, 1024}, {0, 0, 1280, 1024}},
    {0x3190, D::kZA12, 0, 0x20, 0, {512, 32768}, {0, 0, 512, 512}},
    {0x31A0, D::kZA11, 0, 0x20, 0, {256, 32768}, {0, 0, 256, 256}},
    {0x31B0, D::kIMX250, 59, 0x48, 4, {2448, 2048}, {0, 0, 2448, 2048}},
    {0x31B4, D::kIMX264, 57, 0x48, 4, {2448, 2048}, {0, 0, 2448, 2048}},
    {0x31C0, D::kIMX252, 56, 0x48, 4, {2048, 1536}, {0, 0, 2048, 1536}},
    {0x31C4, D::kIMX265, 58, 0x48, 4, {2048, 1536}, {0, 0, 2048, 1536}},
    {0x31D0, D::kZA13, 0, 0x20, 0, {1024, 32768}, {0, 0, 1024, 1024}},
    {0x31E0, D::kZA09, 103, 0x6C, 0, {2048, 2048}, {0, 0, 2048, 2048}},
    {0x31F0, D::kIMX226, 60, 0x48, 4, {4168, 3062}, {0, 0, 4160, 3056}},
    {0x3200, D::kZA01, 99, 0x48, 4, {640, 512}, {0, 0, 640, 512}},
    {0x3210, D::kZA10, 0, 0x20, 0, {2048, 32768}, {0, 0, 2048, 2048}},
    {0x3220, D::kG1467x, 105, 0x6C, 2, {320, 256}, {0, 0, 320, 256}},
    {0x3260, D::kIMX990, 109, 0x48, 4, {1280, 1024}, {0, 0, 1280, 1024}},
    {0x3270, D::kIMX990, 110, 0x48, 1, {1280, 1024}, {0, 0, 1280, 1024}},
    {0x3280, D::kIMX991, 111, 0x48, 4, {640, 512}, {0, 0, 640, 512}},
    {0x3290, D::kIMX991, 112, 0x48, 1, {640, 512}, {0, 0, 640, 512}},
    {0x32A0, D::kIMX250, 113, 0x48, 4, {2448, 2048}, {0, 0, 2448, 2048}},
    {0x32B0, D::kZA19, 61, 0x48, 4, {1936, 1096}, {0, 0, 1936, 1096}},
    {0x32C0, D::kGLUX9701, 114, 0x48, 3, {1280, 1024}, {0, 0, 1280, 1024}},
    {0x32D0, D::kZA14, 115, 0x6C, 0, {4096, 4096}, {0, 0, 2048, 2048}},
    {0x32E0, D::kIMX536, 62, 0x48, 4, {2848, 2848}, {0, 0, 2848, 2848}},
    {0x32F0, D::kIMX487, 63, 0x48, 4, {2848, 2848}, {0, 0, 2848, 2848}},
    {0x3300, D::kIMX273, 128, 0x48, 4, {1440, 1080}, {0, 0, 1440, 1080}},
    {0x3310, D::kZA20, 116, 0x40, 0, {19568, 12588}, {0, 0, 19568, 12588}},
    {0x3320, D::kZA18, 117, 0x40, 0, {2592, 2056}, {0, 0, 2592, 2056}},
    {0x3330, D::kZA16, 118, 0x40, 0, {1920, 1080}, {0, 0, 1920, 1080}},
    {0x3340, D::kZA17, 119, 0x40, 0, {5688, 3336}, {0, 0, 5688, 3336}},
    {0x3360, D::kIMX675, 121, 0x48, 4, {2592, 4060}, {0, 0, 2592, 4060}},
    {0x3370, D::kIMX992, 129, 0x48, 4, {2560, 2048}, {0, 0, 2560, 2048}},
    {0x3380, D::kIMX992, 130, 0x48, 1, {2560, 2048}, {0, 0, 2560, 2048}},
    {0x33A0, D::kZA21, 122, 0x48, 4, {640, 512}, {0, 0, 640, 512}},
    {0x33B0, D::kGLUX9701, 114, 0x48, 3, {1280, 1024}, {0, 0, 1280, 1024}},
};
// clang-format on

class FamilyWalk : public DriverTest {};

TEST_F(FamilyWalk, TheProductTableListsExactlyTheFamily) {
  std::set<uint16_t> want;
  for (const FamilyEntry& e : kFamily) want.insert(e.productId);
  const std::vector<uint16_t> ids = FamilyProductIds();
  EXPECT_EQ(std::set<uint16_t>(ids.begin(), ids.end()), want);
}

TEST_F(FamilyWalk, EveryProductBuildsItsDriverWithItsConstants) {
  for (const FamilyEntry& e : kFamily) {
    SCOPED_TRACE(testing::Message() << "product 0x" << std::hex << e.productId);
    sim::SimBackend::Instance().RemoveAll();
    ASSERT_NO_FATAL_FAILURE(Attach(e.productId));
    SensorDriver chosen = D::kCount;
    const std::unique_ptr<CSensorBase> sensor = CreateSensor(e.productId, transport.get(), &chosen);
    ASSERT_NE(sensor, nullptr);
    EXPECT_EQ(chosen, e.driver);
    // The object is the driver's own class, not a stand-in under its name.
    const auto* own = dynamic_cast<const CTableDrivenSensor*>(sensor.get());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->Row().driver, e.driver);
    EXPECT_EQ(sensor->ModelNumber(), e.modelNumber);
    const SensorInfo& info = sensor->Info();
    EXPECT_EQ(info.orientation, e.orientation);
    EXPECT_EQ(info.arrayWidth, e.array.width);
    EXPECT_EQ(info.arrayHeight, e.array.height);
    EXPECT_EQ(info.originX, e.effective.x);
    EXPECT_EQ(info.originY, e.effective.y);
    EXPECT_EQ(info.effectiveWidth, e.effective.width);
    EXPECT_EQ(info.effectiveHeight, e.effective.height);
    EXPECT_EQ(sensor->BusAddress(), e.busAddress);
    transport.reset();
  }
}

}  // namespace
}  // namespace vexcam::test
