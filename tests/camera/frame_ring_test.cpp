// The frame ring on its own: orientation rules, the bottom-up row rule,
// capacity checks and torn-frame protection under a slow reader.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "camera/frame_ring.h"

namespace vexcam {
namespace {

// Reference: destination pixel (row, col) comes from source (srcRow, srcCol).
std::vector<uint8_t> Reference(const std::vector<uint8_t>& src, uint32_t w, uint32_t h, uint32_t b,
                               bool hRev, bool vRev) {
  std::vector<uint8_t> out(src.size());
  for (uint32_t r = 0; r < h; ++r) {
    for (uint32_t c = 0; c < w; ++c) {
      const uint32_t sr = vRev ? h - 1 - r : r;
      const uint32_t sc = hRev ? w - 1 - c : c;
      std::memcpy(&out[(r * w + c) * b], &src[(sr * w + sc) * b], b);
    }
  }
  return out;
}

std::vector<uint8_t> Numbered(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

FrameLayout Layout(uint32_t w, uint32_t h, uint32_t b, uint32_t orientation) {
  FrameLayout l;
  l.width = w;
  l.height = h;
  l.bytesPerPixel = b;
  l.frameBytes = w * h * b;
  l.slotBytes = l.frameBytes + 64;
  l.orientation = orientation;
  return l;
}

struct OrientationCase {
  uint32_t orientation;
  uint32_t flip;
  bool hRev;
  bool vRev;
};

TEST(FrameRingOrientation, WordsAndFlipFlagSelectReversals) {
  // Word 4: H reversal always; vertical reversal when flip is 1 -> 180-degree turn.
  // Word 1: no H; vertical reversal when flip is 0, unchanged copy when flip is 1.
  const OrientationCase table[] = {
      {4, 1, true, true},  {4, 0, true, false}, {1, 1, false, false}, {1, 0, false, true},
      {3, 1, false, true}, {2, 0, true, true},  {0, 1, false, false},
  };
  for (uint32_t b : {1u, 2u}) {
    const uint32_t w = 7, h = 5;
    const std::vector<uint8_t> src = Numbered(w * h * b);
    for (const OrientationCase& c : table) {
      CFrameRing ring;
      ASSERT_TRUE(ring.Allocate(Layout(w, h, b, c.orientation)));
      ASSERT_TRUE(ring.Store(src.data(), 42));
      std::vector<uint8_t> dst(src.size(), 0xEE);
      uint32_t tag = 0;
      ASSERT_TRUE(ring.Copy(dst.data(), dst.size(), &tag, false, c.flip, nullptr));
      EXPECT_EQ(tag, 42u);
      EXPECT_EQ(dst, Reference(src, w, h, b, c.hRev, c.vRev))
          << "word " << c.orientation << " flip " << c.flip << " bytes " << b;
    }
  }
}

TEST(FrameRingOrientation, BottomUpRowRuleDropsTheSpareRow) {
  const uint32_t w = 4, h = 5;
  const std::vector<uint8_t> src = Numbered(w * h);
  for (bool drop : {false, true}) {
    FrameLayout l = Layout(w, h, 1, 4);
    l.bottomUpRowRule = true;
    l.dropLastRow = drop;
    CFrameRing ring;
    ASSERT_TRUE(ring.Allocate(l));
    ASSERT_TRUE(ring.Store(src.data(), 1));
    std::vector<uint8_t> dst(src.size());
    ASSERT_TRUE(ring.Copy(dst.data(), dst.size(), nullptr, false, 1, nullptr));
    for (uint32_t i = 0; i < h; ++i) {
      const uint32_t from = drop ? (i == 0 ? h - 2 : h - 1 - i) : h - 1 - i;
      EXPECT_EQ(0, std::memcmp(&dst[i * w], &src[from * w], w)) << "row " << i << " drop " << drop;
    }
  }
}

TEST(FrameRingCopy, RefusesWhatDoesNotFit) {
  CFrameRing ring;
  std::vector<uint8_t> dst(64);
  EXPECT_FALSE(ring.Copy(dst.data(), dst.size(), nullptr, false, 0, nullptr));  // no buffers
  ASSERT_TRUE(ring.Allocate(Layout(8, 8, 1, 0)));
  const std::vector<uint8_t> src = Numbered(64);
  ASSERT_TRUE(ring.Store(src.data(), 9));
  EXPECT_FALSE(ring.Copy(nullptr, 64, nullptr, false, 0, nullptr));
  std::vector<uint8_t> small(63, 0xAB);
  EXPECT_FALSE(ring.Copy(small.data(), small.size(), nullptr, false, 0, nullptr));
  EXPECT_EQ(small, std::vector<uint8_t>(63, 0xAB));  // untouched
  EXPECT_TRUE(ring.Copy(dst.data(), dst.size(), nullptr, false, 0, nullptr));
}

TEST(FrameRingCopy, GrabbedCopiesSlotZeroAndIndicesAdvance) {
  CFrameRing ring;
  ASSERT_TRUE(ring.Allocate(Layout(4, 1, 1, 1)));
  const uint8_t a[4] = {1, 1, 1, 1}, b[4] = {2, 2, 2, 2}, c[4] = {3, 3, 3, 3};
  EXPECT_EQ(ring.WriteIndex(), 0u);
  EXPECT_EQ(ring.ReadIndex(), 3u);
  ring.Store(a, 10);
  ring.Store(b, 11);
  ring.Store(c, 12);
  EXPECT_EQ(ring.WriteIndex(), 3u);
  uint8_t out[4] = {};
  uint32_t tag = 0;
  uint64_t sequence = 0;
  ASSERT_TRUE(ring.Copy(out, 4, &tag, true, 1, nullptr));
  EXPECT_EQ(out[0], 1);
  EXPECT_TRUE(ring.HasUnread());
  ASSERT_TRUE(ring.Copy(out, 4, &tag, false, 1, &sequence));
  EXPECT_EQ(out[0], 3);
  EXPECT_EQ(tag, 12u);
  EXPECT_EQ(sequence, 3u);
  ring.MarkReadUpTo(sequence);
  EXPECT_FALSE(ring.HasUnread());
  // Going round the ring (W back where R was) still counts as unread.
  for (uint32_t i = 0; i < CFrameRing::kSlots; ++i) ring.Store(c, 20 + i);
  EXPECT_TRUE(ring.HasUnread());
  // Rebuilding resets every tag.
  ASSERT_TRUE(ring.Allocate(Layout(4, 1, 1, 1)));
  for (uint32_t s = 0; s < CFrameRing::kSlots; ++s) EXPECT_EQ(ring.Tag(s), CFrameRing::kNoTag);
}

// A writer storing as fast as it can and a reader whose copy (16-bit pixel
// reversal of a large frame) is slower than the writer's: every delivered
// frame must be one whole frame.
TEST(FrameRingConcurrency, SlowReaderNeverGetsATornFrame) {
  const uint32_t w = 1024, h = 512, b = 2;
  CFrameRing ring;
  ASSERT_TRUE(ring.Allocate(Layout(w, h, b, 4)));
  std::atomic<bool> stop{false};
  std::atomic<uint32_t> stored{0};
  std::thread writer([&] {
    std::vector<uint8_t> frame(w * h * b);
    for (uint32_t tag = 1; !stop.load(); ++tag) {
      std::memset(frame.data(), static_cast<int>(tag & 0xFF), frame.size());
      if (ring.Store(frame.data(), tag)) stored.fetch_add(1);
    }
  });
  std::vector<uint8_t> dst(w * h * b);
  uint32_t delivered = 0;
  uint32_t lastTag = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
  while (std::chrono::steady_clock::now() < end) {
    uint32_t tag = 0;
    if (!ring.Copy(dst.data(), dst.size(), &tag, false, 1, nullptr)) continue;
    if (tag == CFrameRing::kNoTag) continue;
    ++delivered;
    const uint8_t expect = static_cast<uint8_t>(tag & 0xFF);
    size_t bad = 0;
    for (uint8_t v : dst) bad += v != expect;
    ASSERT_EQ(bad, 0u) << "torn frame, tag " << tag;
    EXPECT_GE(tag, lastTag);
    lastTag = tag;
  }
  stop = true;
  writer.join();
  EXPECT_GT(delivered, 5u);
  EXPECT_GT(stored.load(), delivered);  // the writer really was faster
}

}  // namespace
}  // namespace vexcam
