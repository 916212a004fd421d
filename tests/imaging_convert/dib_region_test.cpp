#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "convert_reference.h"
#include "imaging/dib_image.h"
#include "imaging/region_op.h"

namespace vexcam {
namespace {

// The header and gray table are written as they are into BMP files, whose
// test checks them byte for byte.
TEST(DibImage, CreateSetsStrideAlignmentAndZeroPixels) {
  DibImage img;
  ASSERT_TRUE(img.Create(5, 3, 8));
  EXPECT_EQ(img.Stride(), 8u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(img.Pixels()) % 64, 0u);
  for (size_t i = 0; i < img.SizeBytes(); ++i) ASSERT_EQ(img.Pixels()[i], 0);
  EXPECT_EQ(img.Row(2) - img.Row(0), 16);

  for (int bits : {8, 16, 24, 32, 48, 64})
    for (int w = 1; w <= 5; ++w) {
      ASSERT_TRUE(img.Create(w, 2, bits));
      EXPECT_EQ(img.Stride(), (w * bits + 31) / 32 * 4u) << w << "x" << bits;  // 4-byte rows
    }
}

TEST(DibImage, InvalidCreateLeavesEmptyAndReleaseResets) {
  DibImage img;
  for (auto [w, h, b] : std::vector<std::tuple<int, int, int>>{
           {0, 4, 8}, {4, 0, 8}, {-1, 4, 8}, {4, 4, 0}, {4, 4, 12}}) {
    ASSERT_TRUE(img.Create(4, 4, 24));
    EXPECT_FALSE(img.Create(w, h, b));
    EXPECT_TRUE(img.IsEmpty());
    EXPECT_EQ(img.Width(), 0);
    EXPECT_EQ(img.Header().size, 40u);
    EXPECT_EQ(img.Header().bitCount, 0);
  }
  // A row too long for 32 bits, or an impossible block, fails cleanly.
  EXPECT_FALSE(img.Create(0x7FFFFFFF, 1, 64));
  EXPECT_FALSE(img.Create(0x40000000, 0x7FFFFFFF, 32));
  EXPECT_TRUE(img.IsEmpty());
}

TEST(DibImage, CloneKeepsGeometryWithZeroPixelsAndRecreateZeroes) {
  std::mt19937 rng(1);
  DibImage src = testref::RandomImage(7, 3, 48, rng);
  DibImage clone;
  ASSERT_TRUE(clone.CloneFrom(src));
  EXPECT_EQ(clone.Width(), 7);
  EXPECT_EQ(clone.Height(), 3);
  EXPECT_EQ(clone.Stride(), src.Stride());
  EXPECT_EQ(clone.BitCount(), 48);
  for (size_t i = 0; i < clone.SizeBytes(); ++i) ASSERT_EQ(clone.Pixels()[i], 0);
  // Reusing a larger block still hands out zeroed pixels.
  ASSERT_TRUE(src.Create(2, 2, 8));
  for (size_t i = 0; i < src.SizeBytes(); ++i) ASSERT_EQ(src.Pixels()[i], 0);
  DibImage empty;
  EXPECT_FALSE(clone.CloneFrom(empty));
  EXPECT_TRUE(clone.IsEmpty());
  DibImage moved = std::move(src);
  EXPECT_TRUE(src.IsEmpty());
  EXPECT_EQ(moved.Width(), 2);
}

// Records what ApplyRegionOp passed on.
struct Seen {
  int calls = 0;
  RegionRect rect;
  int x = 0, y = 0, dstBpp = 0, srcBpp = 0;
  uint32_t dstStride = 0, srcStride = 0;
  const void* p2 = nullptr;
};

int RecordOp(uint8_t*, const uint8_t*, const RegionRect& rect, int x, int y, int dstBpp, int srcBpp,
             uint32_t ds, uint32_t ss, const void* p1, const void* p2) {
  auto* s = static_cast<Seen*>(const_cast<void*>(p1));
  *s = Seen{s->calls + 1, rect, x, y, dstBpp, srcBpp, ds, ss, p2};
  return 1;
}

TEST(ApplyRegionOp, WholeImageAndClipping) {
  DibImage dst = testref::Make(10, 8, 24);
  DibImage src = testref::Make(6, 5, 16);
  int marker = 0;
  const RegionRect offTopLeft{-2, -1, 3, 2};
  // What reaches the routine: the rectangle clipped to both images and where
  // its corner lands, each source pixel keeping its target.
  const struct {
    const RegionRect* rect;
    int x, y;
    RegionRect clipped;
    int dstX, dstY;
  } placed[] = {
      {nullptr, 0, 0, {0, 0, 6, 5}, 0, 0},      // the whole source
      {nullptr, 7, 6, {0, 0, 3, 2}, 7, 6},      // near the destination's corner
      {&offTopLeft, 4, 4, {0, 0, 3, 2}, 6, 5},  // hanging off the source's top-left
      {nullptr, -4, -3, {4, 3, 6, 5}, 0, 0},    // negative position clips the source side
  };
  auto Where = [](const RegionRect& r, int x, int y) {
    return std::make_tuple(r.left, r.top, r.right, r.bottom, x, y);
  };
  for (const auto& c : placed) {
    SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
    Seen seen;
    ASSERT_EQ(ApplyRegionOp(dst, RecordOp, src, c.rect, c.x, c.y, &seen, &marker), 1);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(Where(seen.rect, seen.x, seen.y), Where(c.clipped, c.dstX, c.dstY));
    EXPECT_EQ(std::tie(seen.dstBpp, seen.srcBpp, seen.dstStride, seen.srcStride, seen.p2),
              std::make_tuple(3, 2, dst.Stride(), src.Stride(), static_cast<const void*>(&marker)));
  }

  // Nothing left to do, no routine or an empty image: 0 and no call.
  Seen seen;
  const RegionRect outside{6, 0, 9, 5}, inverted{4, 4, 2, 2};
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, &outside, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, 10, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, -0x7FFFFFFF, 0x7FFFFFFF, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, &inverted, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, nullptr, src, nullptr, 0, 0, &seen, nullptr), 0);
  DibImage empty;
  EXPECT_EQ(ApplyRegionOp(empty, RecordOp, src, nullptr, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(seen.calls, 0);
}

}  // namespace
}  // namespace vexcam
