#include <gtest/gtest.h>

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

  const struct {
    int w, bits;
    uint32_t stride;
  } cases[] = {{1, 8, 4},   {4, 8, 4},   {3, 16, 8}, {1, 24, 4},
               {5, 24, 16}, {3, 32, 12}, {1, 48, 8}, {3, 64, 24}};
  for (const auto& c : cases) {
    ASSERT_TRUE(img.Create(c.w, 2, c.bits));
    EXPECT_EQ(img.Stride(), c.stride) << c.w << "x" << c.bits;
  }
}

TEST(DibImage, InvalidCreateLeavesEmptyAndReleaseResets) {
  DibImage img;
  ASSERT_TRUE(img.Create(4, 4, 24));
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
  DibImage src = testref::Make(7, 3, 48);
  testref::FillRandom(src, rng);
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
  ++s->calls;
  s->rect = rect;
  s->x = x;
  s->y = y;
  s->dstBpp = dstBpp;
  s->srcBpp = srcBpp;
  s->dstStride = ds;
  s->srcStride = ss;
  s->p2 = p2;
  return 1;
}

TEST(ApplyRegionOp, WholeImageAndClipping) {
  DibImage dst = testref::Make(10, 8, 24);
  DibImage src = testref::Make(6, 5, 16);
  Seen seen;
  int marker = 0;
  ASSERT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, 0, 0, &seen, &marker), 1);
  EXPECT_EQ(seen.rect.left, 0);
  EXPECT_EQ(seen.rect.right, 6);
  EXPECT_EQ(seen.rect.bottom, 5);
  EXPECT_EQ(seen.dstBpp, 3);
  EXPECT_EQ(seen.srcBpp, 2);
  EXPECT_EQ(seen.dstStride, dst.Stride());
  EXPECT_EQ(seen.srcStride, src.Stride());
  EXPECT_EQ(seen.p2, &marker);

  // Placed near the destination's corner: clipped to what fits.
  ASSERT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, 7, 6, &seen, nullptr), 1);
  EXPECT_EQ(seen.rect.right - seen.rect.left, 3);
  EXPECT_EQ(seen.rect.bottom - seen.rect.top, 2);
  EXPECT_EQ(seen.x, 7);

  // A rectangle hanging off the source's top-left keeps each pixel's target.
  RegionRect r{-2, -1, 3, 2};
  ASSERT_EQ(ApplyRegionOp(dst, RecordOp, src, &r, 4, 4, &seen, nullptr), 1);
  EXPECT_EQ(seen.rect.left, 0);
  EXPECT_EQ(seen.rect.top, 0);
  EXPECT_EQ(seen.x, 6);
  EXPECT_EQ(seen.y, 5);

  // Negative destination position clips the source side.
  ASSERT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, -4, -3, &seen, nullptr), 1);
  EXPECT_EQ(seen.rect.left, 4);
  EXPECT_EQ(seen.rect.top, 3);
  EXPECT_EQ(seen.x, 0);
  EXPECT_EQ(seen.y, 0);

  const int before = seen.calls;
  RegionRect outside{6, 0, 9, 5};
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, &outside, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, 10, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, nullptr, -0x7FFFFFFF, 0x7FFFFFFF, &seen, nullptr), 0);
  RegionRect inverted{4, 4, 2, 2};
  EXPECT_EQ(ApplyRegionOp(dst, RecordOp, src, &inverted, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(ApplyRegionOp(dst, nullptr, src, nullptr, 0, 0, &seen, nullptr), 0);
  DibImage empty;
  EXPECT_EQ(ApplyRegionOp(empty, RecordOp, src, nullptr, 0, 0, &seen, nullptr), 0);
  EXPECT_EQ(seen.calls, before);
}

}  // namespace
}  // namespace vexcam
