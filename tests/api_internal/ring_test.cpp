// The registry ring and its cursor walk.
#include <gtest/gtest.h>

#include "api/t_ring.h"

namespace vexcam {
namespace {

struct Rec {
  uint32_t handle = 0;
  int payload = 0;
  Rec* prev = nullptr;
  Rec* next = nullptr;
};

class Ring : public CTRing<Rec> {
 public:
  bool FindLocked(uint32_t h) {
    CsLock lock(Lock());
    return Find(h);
  }
  bool RemoveCursor() {
    CsLock lock(Lock());
    return RemoveCurrent() == 1;
  }
};

TEST(Ring, AddInsertsBeforeTheCursorAndBecomesIt) {
  Ring ring;
  EXPECT_EQ(ring.Count(), 0u);
  EXPECT_EQ(ring.CursorHandle(), 0u);
  ring.Add({10});
  ring.Add({20});
  ring.Add({30});
  EXPECT_EQ(ring.Count(), 3u);
  EXPECT_EQ(ring.CursorHandle(), 30u);
  // Order around the ring from 30: 30 -> 20 -> 10 -> 30 (each added before the cursor).
  EXPECT_TRUE(ring.FindLocked(20));
  EXPECT_EQ(ring.CursorHandle(), 20u);
}

TEST(Ring, FailedFindRestsBeforeTheStartAndHidesNothing) {
  Ring ring;
  ring.Add({1});
  ring.Add({2});
  ring.Add({3});
  // Lookups in the order S1, S3, S2, unknown, S1.
  EXPECT_TRUE(ring.FindLocked(1));
  EXPECT_EQ(ring.CursorHandle(), 1u);
  EXPECT_TRUE(ring.FindLocked(3));
  EXPECT_TRUE(ring.FindLocked(2));
  EXPECT_EQ(ring.CursorHandle(), 2u);
  EXPECT_FALSE(ring.FindLocked(99));
  // The cursor stops on the record that was before the starting cursor (2).
  EXPECT_EQ(ring.CursorHandle(), 3u);
  EXPECT_TRUE(ring.FindLocked(1));
  EXPECT_TRUE(ring.FindLocked(1));
  EXPECT_EQ(ring.CursorHandle(), 1u);
  for (uint32_t h : {2u, 3u, 1u}) EXPECT_TRUE(ring.FindLocked(h)) << h;
}

TEST(Ring, SingleRecordPointsToItself) {
  Ring ring;
  ring.Add({5});
  EXPECT_TRUE(ring.FindLocked(5));
  EXPECT_FALSE(ring.FindLocked(6));
  EXPECT_EQ(ring.CursorHandle(), 5u);
}

TEST(Ring, RemoveMovesTheCursorToTheNextAndEmptiesCleanly) {
  Ring ring;
  ring.Add({1});
  ring.Add({2});
  ring.Add({3});
  EXPECT_EQ(ring.Remove(2), 1);
  EXPECT_EQ(ring.Count(), 2u);
  EXPECT_EQ(ring.Remove(2), 0);
  EXPECT_TRUE(ring.FindLocked(1));
  EXPECT_TRUE(ring.FindLocked(3));
  EXPECT_TRUE(ring.RemoveCursor());
  EXPECT_TRUE(ring.RemoveCursor());
  EXPECT_FALSE(ring.RemoveCursor());
  EXPECT_EQ(ring.Count(), 0u);
  EXPECT_EQ(ring.CursorHandle(), 0u);
  ring.Add({4});
  EXPECT_EQ(ring.Count(), 1u);
  EXPECT_TRUE(ring.FindLocked(4));
}

}  // namespace
}  // namespace vexcam
