#pragma once
// Every export with one call shape each, for the abuse suites: the call takes
// an integer value v and a second one v2 (sizes, indices, values, flags) and
// a switch that makes every pointer argument null. Pointer arguments that are
// not null point into a large lazily committed region, so a size is never a
// lie about the buffer behind it, however huge. Each call tells whether it
// failed by its export's failure value (or the ok flag it was given); with
// `raw`, meant for handles that name no instance, by the failure value alone
// (0, or -1 for the three getters that return it) and an untouched ok flag.
#include <sys/mman.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "vexcam/VexCamSdk.h"

namespace vexcam::abuse {

struct Args {
  int v = 0;
  int v2 = 0;
  bool null = false;
  bool raw = false;
};

// Buffers and files the calls use, owned by one caller thread.
struct Buffers {
  explicit Buffers(size_t bytes) : size(bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    base = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
  }
  ~Buffers() {
    if (base != nullptr) munmap(base, size);
  }
  Buffers(const Buffers&) = delete;
  Buffers& operator=(const Buffers&) = delete;

  // The region when the size fits it, else its first page (sizes that do not
  // fit are only given to calls that must refuse them before writing).
  BYTE* At(const Args& a) const { return a.null ? nullptr : base; }
  // A size no larger than the region: v clamped.
  int Size(int v) const {
    return v > 0 && static_cast<size_t>(v) > size ? static_cast<int>(size) : v;
  }

  uint8_t* base = nullptr;
  size_t size = 0;
  HWND callback = nullptr;  // frame messages of the capture calls
  std::string dir;          // files are written here
  std::wstring wdir;
};

using CallFn = bool (*)(DWORD h, const Args& a, Buffers& b);

struct Export {
  const char* name;
  CallFn call;
  bool capture = false;  // starts or needs a capture; the caller stops it afterwards
};

const std::vector<Export>& Exports();

// Values at and past the ends of every range the exports have: colour modes
// and bit counts, sub-sample codes, window sizes, 8/16-bit register fields,
// gains, exposure, plus the extremes of int.
const std::vector<int>& EdgeValues();

}  // namespace vexcam::abuse
