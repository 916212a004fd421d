#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread_rand.h"

namespace vexcam {
namespace {

// Starts n threads that each wait once on the event and count a release.
std::vector<std::thread> StartWaiters(Event& event, std::atomic<int>& released, int n) {
  std::vector<std::thread> waiters;
  for (int i = 0; i < n; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(kInfinite) == WaitResult::kSignalled) ++released;
    });
  }
  SleepMs(30);  // let them block
  return waiters;
}

int WaitForCount(const std::atomic<int>& count, int want) {
  const uint64_t end = MonotonicMs() + 1000;
  while (count.load() < want && MonotonicMs() < end) SleepMs(1);
  return count.load();
}

TEST(Event, AutoResetReleasesExactlyOneWaiterPerSet) {
  Event event(false);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters = StartWaiters(event, released, 2);
  event.Set();
  EXPECT_EQ(WaitForCount(released, 1), 1);
  SleepMs(50);
  EXPECT_EQ(released.load(), 1) << "one Set released two waiters";
  event.Set();
  EXPECT_EQ(WaitForCount(released, 2), 2);
  for (auto& t : waiters) t.join();
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout) << "stayed set after releasing a waiter";

  event.Set();
  event.Set();  // already set: not counted twice
  EXPECT_EQ(event.Wait(0), WaitResult::kSignalled);
  EXPECT_EQ(event.Wait(0), WaitResult::kTimeout);
}

TEST(Event, ManualResetReleasesAllUntilResetAndWaitTimesOut) {
  Event event(true);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters = StartWaiters(event, released, 3);
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 3);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignalled);
  event.Reset();
  const uint64_t start = MonotonicMs();
  EXPECT_EQ(event.Wait(40), WaitResult::kTimeout);
  EXPECT_GE(MonotonicMs() - start, 39u);
}

TEST(CriticalSection, OwnerReentersOthersWaitForTheLastUnlock) {
  CriticalSection cs;
  auto otherThreadGetsIt = [&cs] {
    bool got = false;
    std::thread([&] {
      got = cs.TryLock();
      if (got) cs.Unlock();
    }).join();
    return got;
  };
  cs.Lock();
  {
    CsLock again(cs);
    std::lock_guard<CriticalSection> third(cs);
    EXPECT_FALSE(otherThreadGetsIt());
  }
  EXPECT_FALSE(otherThreadGetsIt());
  cs.Unlock();
  EXPECT_TRUE(otherThreadGetsIt());
}

TEST(Clock, WrapArithmeticAndSharedTimeBase) {
  EXPECT_EQ(ElapsedMs(0xFFFFFFF0u, 0x10u), 0x20u);
  EXPECT_TRUE(TimeReached(0x5u, 0xFFFFFFF0u));
  EXPECT_FALSE(TimeReached(0xFFFFFFF0u, 0x5u));
  EXPECT_TRUE(TimeReached(100u, 100u));
  EXPECT_FALSE(TimeReached(99u, 100u));

  EXPECT_LE(ElapsedMs(TimeGetTime(), static_cast<uint32_t>(MonotonicMs())), 5u);
  EXPECT_LE(ElapsedMs(GetTickCount(), TimeGetTime()), 20u);
  const uint64_t start = MonotonicMs();
  SleepMs(25);
  EXPECT_GE(MonotonicMs() - start, 25u);
}

std::vector<int> FirstRandsOfNewThread(int n) {
  std::vector<int> values;
  std::thread([&] {
    for (int i = 0; i < n; ++i) values.push_back(ThreadRand());
  }).join();
  return values;
}

TEST(ThreadRand, EveryThreadStartsTheSameSequenceFromSeedOne) {
  const std::vector<int> first = FirstRandsOfNewThread(1000);
  EXPECT_EQ(first[0], 41);
  EXPECT_EQ(first[1], 18467);
  EXPECT_EQ(first[2], 6334);
  for (int v : first) ASSERT_TRUE(v >= 0 && v <= 32767);
  for (int i = 0; i < 50; ++i) ThreadRand();      // advancing this thread...
  EXPECT_EQ(FirstRandsOfNewThread(1000), first);  // ...does not affect another
}

}  // namespace
}  // namespace vexcam
