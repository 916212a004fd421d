#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "instance/error_stack.h"

namespace vexcam {
namespace {

// Newest first; a pushed 0 is popped like any other code, and an empty stack
// pops 0.
TEST(ErrorStack, PopsNewestFirstThenZero) {
  ErrorStack stack;
  EXPECT_EQ(stack.Pop(), 0u);
  for (uint32_t code : {9u, 0u, 1u, 5u}) stack.Push(code);
  for (uint32_t code : {5u, 1u, 0u, 9u, 0u}) EXPECT_EQ(stack.Pop(), code);
}

TEST(ErrorStack, KeepsTheNewestTwentyOfTwentyFive) {
  ErrorStack stack;
  for (uint32_t i = 1; i <= 25; ++i) stack.Push(i);
  for (uint32_t i = 25; i >= 6; --i) EXPECT_EQ(stack.Pop(), i);
  EXPECT_EQ(stack.Pop(), 0u);
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
