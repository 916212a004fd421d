#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/message_window.h"
#include "vexcam/VexCamWindow.h"

namespace vexcam {
namespace {

class MessageWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(window_ = VexWin_CreateMessageWindow(), nullptr); }
  void TearDown() override { VexWin_DestroyWindow(window_); }
  HWND window_ = nullptr;
  VEXWIN_MSG msg_{};
};

TEST_F(MessageWindow, MessagesArriveInPostOrderWithTheirWindow) {
  for (UINT i = 0; i < 5; ++i) ASSERT_TRUE(VexWin_PostMessage(window_, 0x8000 + i, i, -LPARAM{i}));
  ASSERT_TRUE(PostWindowMessage(window_, 0x8003, 0, 12));
  ASSERT_TRUE(VexWin_PeekMessage(window_, &msg_, FALSE));
  EXPECT_EQ(msg_.message, 0x8000u);
  for (UINT i = 0; i < 5; ++i) {
    ASSERT_TRUE(VexWin_GetMessage(window_, &msg_, 0));
    EXPECT_EQ(msg_.hwnd, window_);
    EXPECT_EQ(msg_.message, 0x8000 + i);
    EXPECT_EQ(msg_.wParam, i);
    EXPECT_EQ(msg_.lParam, -LPARAM{i});
  }
  ASSERT_TRUE(VexWin_PeekMessage(window_, &msg_, TRUE));
  EXPECT_EQ(msg_.lParam, 12);
  EXPECT_FALSE(VexWin_PeekMessage(window_, &msg_, TRUE));
  EXPECT_FALSE(VexWin_GetMessage(window_, nullptr, 0));
  const uint64_t start = MonotonicMs();
  EXPECT_FALSE(VexWin_GetMessage(window_, &msg_, 40));
  EXPECT_GE(MonotonicMs() - start, 39u);
}

TEST_F(MessageWindow, DestroyWakesEveryBlockedWaiterWithFalse) {
  std::atomic<int> woken{0};
  std::atomic<int> gotMessage{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      VEXWIN_MSG msg{};
      if (VexWin_GetMessage(window_, &msg, VEXWIN_INFINITE)) ++gotMessage;
      ++woken;
    });
  }
  SleepMs(50);
  EXPECT_TRUE(VexWin_DestroyWindow(window_));
  for (auto& t : waiters) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(gotMessage.load(), 0);
}

// The ring first grows while its oldest message is not at the start of
// storage, then up to the limit; the order holds throughout.
TEST_F(MessageWindow, OrderSurvivesGrowthAfterWrappingUpToTheLimit) {
  UINT posted = 0, got = 0;
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(VexWin_PostMessage(window_, 1, posted++, 0));
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(VexWin_GetMessage(window_, &msg_, 0));
    ASSERT_EQ(msg_.wParam, got++);
  }
  while (posted - got < VEXWIN_QUEUE_LIMIT)
    ASSERT_TRUE(VexWin_PostMessage(window_, 1, posted++, 0)) << posted;
  EXPECT_FALSE(VexWin_PostMessage(window_, 1, 0, 0));
  ASSERT_TRUE(VexWin_GetMessage(window_, &msg_, 0));
  EXPECT_EQ(msg_.wParam, got++);
  EXPECT_TRUE(VexWin_PostMessage(window_, 1, posted++, 0));
  while (VexWin_GetMessage(window_, &msg_, 0)) ASSERT_EQ(msg_.wParam, got++);
  EXPECT_EQ(got, posted);
}

TEST_F(MessageWindow, PostsFromManyThreadsArriveExactlyOnceInPerThreadOrder) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([this, t] {
      for (int i = 0; i < kPerThread; ++i) ASSERT_TRUE(VexWin_PostMessage(window_, 7, t, i));
    });
  }
  std::vector<LPARAM> next(kThreads, 0);
  int received = 0;
  while (received < kThreads * kPerThread && VexWin_GetMessage(window_, &msg_, 2000)) {
    ASSERT_LT(msg_.wParam, WPARAM{kThreads});
    ASSERT_EQ(msg_.lParam, next[msg_.wParam]++) << "thread " << msg_.wParam;
    ++received;
  }
  for (auto& t : posters) t.join();
  EXPECT_EQ(received, kThreads * kPerThread);
  EXPECT_FALSE(VexWin_PeekMessage(window_, &msg_, FALSE));
}

TEST(MessageWindowHandles, DeadUnknownAndBogusHandlesFailSafely) {
  HWND dead = VexWin_CreateMessageWindow();
  ASSERT_TRUE(VexWin_PostMessage(dead, 1, 0, 0));
  ASSERT_TRUE(VexWin_DestroyWindow(dead));
  HWND fresh = VexWin_CreateMessageWindow();
  EXPECT_NE(fresh, dead) << "handle reused";

  int local = 0;
  auto freed = std::make_unique<int[]>(64);
  const uintptr_t freedAddress = reinterpret_cast<uintptr_t>(freed.get());
  freed.reset();  // a dereference would now trip AddressSanitizer
  for (uintptr_t value : {reinterpret_cast<uintptr_t>(dead), uintptr_t{0}, uintptr_t{1},
                          uintptr_t{0xDEADBEEF}, reinterpret_cast<uintptr_t>(&local), freedAddress,
                          reinterpret_cast<uintptr_t>(fresh) + 1}) {
    HWND h = reinterpret_cast<HWND>(value);
    VEXWIN_MSG msg{};
    EXPECT_FALSE(VexWin_PostMessage(h, 1, 0, 0));
    EXPECT_FALSE(PostWindowMessage(h, 1, 0, 0));
    EXPECT_FALSE(VexWin_GetMessage(h, &msg, VEXWIN_INFINITE));
    EXPECT_FALSE(VexWin_PeekMessage(h, &msg, TRUE));
    EXPECT_FALSE(VexWin_DestroyWindow(h));
    EXPECT_FALSE(IsMessageWindow(h));
  }
  EXPECT_TRUE(IsMessageWindow(fresh));
  EXPECT_TRUE(VexWin_DestroyWindow(fresh));
}

}  // namespace
}  // namespace vexcam
