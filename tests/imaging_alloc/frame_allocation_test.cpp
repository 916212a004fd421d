// Continuous preview of a simulated camera in every colour mode with every
// adjustment and filter on: after warm-up no frame allocates, on any thread.
// This binary replaces the global operator new to count.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>

#include <elf.h>
#include <execinfo.h>
#include <link.h>
#include <vector>

#include "common/api_fixture.h"
#include "sim/sim_backend.h"

namespace {

std::atomic<uint64_t> g_allocations{0};

// While armed, every allocation is told apart by its call stack: those of
// the periodic threads that run beside the frames are only counted, the
// others (the frame path) have their stacks kept in a fixed table. Nothing
// here allocates.
constexpr int kStackDepth = 32;
constexpr int kRecords = 256;
struct Record {
  int depth;
  void* frames[kStackDepth];
};
struct CodeRange {
  uintptr_t begin, end;
};
Record g_records[kRecords];
std::atomic<int> g_framePath{0};
std::atomic<int> g_periodic{0};
std::atomic<bool> g_armed{false};
const std::vector<CodeRange>* g_periodicCode = nullptr;  // set before arming

bool InRanges(void* const* frames, int depth) {
  for (int f = 0; f < depth; ++f)
    for (const CodeRange& c : *g_periodicCode)
      if (reinterpret_cast<uintptr_t>(frames[f]) >= c.begin &&
          reinterpret_cast<uintptr_t>(frames[f]) < c.end)
        return true;
  return false;
}

void Count() {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (!g_armed.load(std::memory_order_acquire)) return;
  Record r;
  r.depth = backtrace(r.frames, kStackDepth);
  if (InRanges(r.frames, r.depth)) {
    g_periodic.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  const int i = g_framePath.fetch_add(1, std::memory_order_relaxed);
  if (i < kRecords) g_records[i] = r;
}

void* Allocate(std::size_t n) {
  Count();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(std::size_t n, std::align_val_t a) {
  Count();
  const std::size_t align = static_cast<std::size_t>(a);
  if (void* p = std::aligned_alloc(align, (n + align - 1) / align * align)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(n ? n : 1);
}
void* operator new(std::size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return AllocateAligned(n, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace vexcam::test {
namespace {

// Code of the threads that run beside the frames on their own clock: the
// sensor's temperature monitor and the device-change watcher. Found by name
// in this executable's symbol table (the library is linked in statically).
std::vector<CodeRange> PeriodicThreadCode() {
  std::vector<CodeRange> ranges;
  uintptr_t bias = 0;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        *static_cast<uintptr_t*>(out) = info->dlpi_addr;
        return 1;  // the first object is the executable
      },
      &bias);
  const std::vector<uint8_t> elf = ReadFile("/proc/self/exe");
  if (elf.size() < sizeof(Elf64_Ehdr)) return ranges;
  Elf64_Ehdr eh;
  std::memcpy(&eh, elf.data(), sizeof eh);
  auto section = [&](int i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, elf.data() + eh.e_shoff + static_cast<size_t>(i) * eh.e_shentsize, sizeof sh);
    return sh;
  };
  for (int i = 0; i < eh.e_shnum; ++i) {
    const Elf64_Shdr sh = section(i);
    if (sh.sh_type != SHT_SYMTAB) continue;
    const Elf64_Shdr strings = section(static_cast<int>(sh.sh_link));
    for (size_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, elf.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
      if (ELF64_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_size == 0) continue;
      const std::string_view name(
          reinterpret_cast<const char*>(elf.data() + strings.sh_offset + sym.st_name));
      if (name.find("MonitorLoop") != name.npos || name.find("StartMonitor") != name.npos ||
          name.find("7Watcher") != name.npos)
        ranges.push_back({bias + sym.st_value, bias + sym.st_value + sym.st_size});
    }
  }
  return ranges;
}

class FrameAllocation : public ApiTest {};

TEST_F(FrameAllocation, ContinuousPreviewAllocatesNothingPerFrame) {
  AddCameras();
  // The simulator's wire log copies every transfer; it is test equipment,
  // not part of the frame path.
  sim::SimBackend::Instance().Find(sim_)->EnableLog(false);
  MakeWindows();
  ASSERT_NE(Init(), 0u);
  Neutral();
  VexCam_SetBrightness(h_, 25);
  VexCam_SetContrast(h_, 20);
  VexCam_SetGamma(h_, 140);
  VexCam_SetHue(h_, 30);
  VexCam_SetSaturation(h_, 40);
  VexCam_SetSharpness(h_, 8);
  VexCam_SetBayerGainAuto(h_, 1);
  VexCam_SetDotFilter(h_, 1);
  VexCam_SetGrayMode(h_, 1);
  ASSERT_EQ(VexCam_SetFilterValue(h_, 20, 150), 1);  // gray gain R: the gray pass runs
  const std::vector<CodeRange> periodic = PeriodicThreadCode();
  ASSERT_FALSE(periodic.empty()) << "no symbol table to tell the periodic threads apart";
  g_periodicCode = &periodic;
  void* warm[4];
  backtrace(warm, 4);  // loads the unwinder before any allocation is recorded
  std::vector<uint8_t> buffer(640 * 512 * 8);
  constexpr int kWarmUp = 10;
  constexpr int kMeasured = 50;
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    ASSERT_EQ(VexCam_SetColorMode(h_, bits), 1) << bits;
    ASSERT_EQ(
        VexCam_CallBackPreview(h_, callback_, buffer.data(), static_cast<int>(buffer.size()), 1),
        1);
    VEXWIN_MSG m{};
    for (int i = 0; i < kWarmUp; ++i) ASSERT_TRUE(NextFrame(&m)) << bits;
    g_framePath = 0;
    g_periodic = 0;
    g_armed.store(true, std::memory_order_release);
    int frames = 0;
    for (; frames < kMeasured && VexWin_GetMessage(callback_, &m, 5000);)
      if (m.message == VEXCAM_MSG_FRAME && m.wParam != 0) ++frames;
    g_armed = false;
    const int framePath = g_framePath.load();
    ASSERT_EQ(VexCam_StopPreview(h_), 1);
    EXPECT_EQ(frames, kMeasured) << bits;
    EXPECT_EQ(framePath, 0) << "allocations over " << frames << " frames of " << bits << " bits ("
                            << g_periodic.load()
                            << " more on the periodic threads); stacks on stderr";
    for (int i = 0; i < std::min(framePath, kRecords); ++i) {
      backtrace_symbols_fd(g_records[i].frames, g_records[i].depth, 2);
      std::fputs("--\n", stderr);
    }
    DrainAll();
  }
  EXPECT_TRUE(Codes().empty());
}

}  // namespace
}  // namespace vexcam::test
