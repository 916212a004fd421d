#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "instance/error_stack.h"

namespace vexcam {
namespace {

// Newest first, the newest twenty of twenty-five; a pushed 0 is popped like
// any other code, and an empty stack pops 0.
TEST(ErrorStack, PopsTheNewestTwentyNewestFirstThenZero) {
  ErrorStack stack;
  EXPECT_EQ(stack.Pop(), 0u);
  stack.Push(0);
  for (uint32_t i = 1; i <= 25; ++i) stack.Push(i);
  for (uint32_t i = 25; i >= 6; --i) EXPECT_EQ(stack.Pop(), i);
  EXPECT_EQ(stack.Pop(), 0u);
  stack.Push(9);
  stack.Push(0);
  for (uint32_t code : {0u, 9u, 0u}) EXPECT_EQ(stack.Pop(), code);
}

TEST(ErrorStack, ConcurrentPushesLoseNothingBelowTheDepth) {
  ErrorStack stack;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&stack] {
      for (int i = 0; i < 5; ++i) stack.Push(7);
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 20; ++i) EXPECT_EQ(stack.Pop(), 7u);
  EXPECT_EQ(stack.Pop(), 0u);
}

}  // namespace
}  // namespace vexcam
