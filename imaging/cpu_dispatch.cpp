#include "imaging/cpu_dispatch.h"

#include <cstdlib>
#include <cstring>

namespace vexcam {

namespace {

constexpr int kUnset = -1;
std::atomic<int> g_path{kUnset};

}  // namespace

CpuPath CpuPathFromText(const char* v, CpuPath hardware) {
  if (!v) return hardware;
  CpuPath wanted = hardware;
  if (std::strcmp(v, "baseline") == 0)
    wanted = CpuPath::kBaseline;
  else if (std::strcmp(v, "avx2") == 0)
    wanted = CpuPath::kAvx2;
  else if (std::strcmp(v, "avx512") == 0)
    wanted = CpuPath::kAvx512;
  return static_cast<int>(wanted) < static_cast<int>(hardware) ? wanted : hardware;
}

CpuPath HardwareCpuPath() {
  static const CpuPath path = [] {
    __builtin_cpu_init();
    // The features of x86-64-v4, named one by one: not every compiler
    // knows the level's name here.
    const bool v4 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                    __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
                    __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx2") &&
                    __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2");
    if (v4) return CpuPath::kAvx512;
    if (__builtin_cpu_supports("avx2")) return CpuPath::kAvx2;
    return CpuPath::kBaseline;
  }();
  return path;
}

bool HasAvx512Vbmi() {
  static const bool has = [] {
    __builtin_cpu_init();
    return HardwareCpuPath() == CpuPath::kAvx512 && __builtin_cpu_supports("avx512vbmi");
  }();
  return has;
}

CpuPath ActiveCpuPath() {
  int p = g_path.load(std::memory_order_relaxed);
  if (p == kUnset) {
    // Racing first calls compute the same value.
    p = static_cast<int>(CpuPathFromText(std::getenv("VEXCAM_CPU"), HardwareCpuPath()));
    g_path.store(p, std::memory_order_relaxed);
  }
  return static_cast<CpuPath>(p);
}

CpuPath SetCpuPath(CpuPath path) {
  const CpuPath hw = HardwareCpuPath();
  const CpuPath applied = static_cast<int>(path) < static_cast<int>(hw) ? path : hw;
  g_path.store(static_cast<int>(applied), std::memory_order_relaxed);
  return applied;
}

const char* CpuPathName(CpuPath path) {
  switch (path) {
    case CpuPath::kAvx512:
      return "avx512";
    case CpuPath::kAvx2:
      return "avx2";
    default:
      return "baseline";
  }
}

}  // namespace vexcam
