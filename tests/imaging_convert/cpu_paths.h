#pragma once

#include <gtest/gtest.h>

#include "imaging/cpu_dispatch.h"

namespace vexcam::test {

// Runs body once on every instruction-set path this processor can execute,
// lowest first, and restores the path in force afterwards. Stops at the
// first fatal failure.
template <typename F>
void ForEachCpuPath(F&& body) {
  const CpuPath saved = ActiveCpuPath();
  for (int p = 0; p <= static_cast<int>(HardwareCpuPath()); ++p) {
    const CpuPath path = SetCpuPath(static_cast<CpuPath>(p));
    SCOPED_TRACE(std::string("cpu path ") + CpuPathName(path));
    body();
    if (::testing::Test::HasFatalFailure()) break;
  }
  SetCpuPath(saved);
}

}  // namespace vexcam::test

// A test whose body runs on every path the processor has.
#define TEST_EVERY_CPU_PATH(suite, name)                             \
  void suite##_##name##_Body();                                      \
  TEST(suite, name) {                                                \
    ::vexcam::test::ForEachCpuPath([] { suite##_##name##_Body(); }); \
  }                                                                  \
  void suite##_##name##_Body()
