#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "instance/error_stack.h"

namespace vexcam {
namespace {

TEST(ErrorStack, PopsNewestFirstThenZero) {
  ErrorStack stack;
  EXPECT_EQ(stack.Pop(), 0u);
  for (uint32_t code : {9u, 1u, 5u}) stack.Push(code);
  EXPECT_EQ(stack.Pop(), 5u);
  EXPECT_EQ(stack.Pop(), 1u);
  EXPECT_EQ(stack.Pop(), 9u);
  EXPECT_EQ(stack.Pop(), 0u);
}

TEST(ErrorStack, KeepsTheNewestTwentyOfTwentyFive) {
  ErrorStack stack;
  for (uint32_t i = 1; i <= 25; ++i) stack.Push(i);
  for (uint32_t i = 25; i >= 6; --i) EXPECT_EQ(stack.Pop(), i);
  EXPECT_EQ(stack.Pop(), 0u);
}

TEST(ErrorStack, ZeroIsAValueLikeAnyOther) {
  ErrorStack stack;
  stack.Push(6);
  stack.Push(0);
  EXPECT_EQ(stack.Pop(), 0u);
  EXPECT_EQ(stack.Pop(), 6u);
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
