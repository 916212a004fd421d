#include <gtest/gtest.h>

#include <cstring>

#include "cpu_paths.h"
#include "imaging/cpu_dispatch.h"

namespace vexcam {
namespace {

TEST(CpuDispatch, PathsNeverExceedTheProcessorAndNamesParse) {
  const CpuPath saved = ActiveCpuPath();
  const CpuPath hw = HardwareCpuPath();
  EXPECT_LE(static_cast<int>(saved), static_cast<int>(hw));
  EXPECT_EQ(SetCpuPath(CpuPath::kAvx512), hw);
  EXPECT_EQ(ActiveCpuPath(), hw);
  EXPECT_EQ(SetCpuPath(CpuPath::kBaseline), CpuPath::kBaseline);
  EXPECT_EQ(ActiveCpuPath(), CpuPath::kBaseline);
  SetCpuPath(saved);

  EXPECT_EQ(CpuPathFromText("baseline", CpuPath::kAvx512), CpuPath::kBaseline);
  EXPECT_EQ(CpuPathFromText("avx2", CpuPath::kAvx512), CpuPath::kAvx2);
  EXPECT_EQ(CpuPathFromText("avx512", CpuPath::kAvx2), CpuPath::kAvx2);  // capped by the processor
  EXPECT_EQ(CpuPathFromText("sse9", CpuPath::kAvx2), CpuPath::kAvx2);  // unknown: the hardware path
  EXPECT_EQ(CpuPathFromText(nullptr, CpuPath::kBaseline), CpuPath::kBaseline);
  for (int p = 0; p < kCpuPathCount; ++p)
    EXPECT_EQ(CpuPathFromText(CpuPathName(static_cast<CpuPath>(p)), CpuPath::kAvx512),
              static_cast<CpuPath>(p));
}

}  // namespace
}  // namespace vexcam
