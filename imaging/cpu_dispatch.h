#pragma once

#include <atomic>

namespace vexcam {

// Instruction-set paths of the pixel kernels, lowest first. Every kernel has
// one variant per path and picks it per call from ActiveCpuPath(), so the
// tests and benchmarks can run each path in one process.
enum class CpuPath : int {
  kBaseline = 0,  // x86-64 (SSE2)
  kAvx2 = 1,      // AVX2
  kAvx512 = 2,    // x86-64-v4 (AVX-512 F, BW, CD, DQ, VL)
};

constexpr int kCpuPathCount = 3;

// The highest path this processor runs.
CpuPath HardwareCpuPath();

// The path in force: the environment variable VEXCAM_CPU (baseline, avx2 or
// avx512) read on first use, else the hardware path; never above the
// hardware path.
CpuPath ActiveCpuPath();

// Sets the path in force, lowered to what the processor runs; returns the
// path now in force. For tests and benchmarks: kernels running on other
// threads at that moment may still finish on the old path.
CpuPath SetCpuPath(CpuPath path);

// The path named by text ("baseline", "avx2", "avx512"), lowered to
// hardware; hardware itself for null or any other text.
CpuPath CpuPathFromText(const char* text, CpuPath hardware);

// "baseline", "avx2" or "avx512".
const char* CpuPathName(CpuPath path);

// Whether the processor also has AVX-512 VBMI (byte permutes), which the
// byte look-up of the AVX-512 path uses when present.
bool HasAvx512Vbmi();

// The kernel of the path in force.
template <typename F>
F PickKernel(F baseline, F avx2, F avx512) {
  switch (ActiveCpuPath()) {
    case CpuPath::kAvx512:
      return avx512;
    case CpuPath::kAvx2:
      return avx2;
    default:
      return baseline;
  }
}

}  // namespace vexcam

// Defines name##Baseline, name##Avx2 and name##Avx512 with the same
// parameters and body (the last argument, commas allowed), each compiled for its instruction set.
// The body is usually one call of an always-inline template, which then gets vectorised for each
// target.
#define VEXCAM_CPU_VARIANTS(ret, name, params, ...)                           \
  ret name##Baseline params __VA_ARGS__ __attribute__((target("avx2")))       \
  ret name##Avx2 params __VA_ARGS__ __attribute__((target("arch=x86-64-v4"))) \
  ret name##Avx512 params __VA_ARGS__

// The variant of name for the path in force.
#define VEXCAM_PICK(name) ::vexcam::PickKernel(name##Baseline, name##Avx2, name##Avx512)
