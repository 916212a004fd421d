#pragma once
// Shared pieces of the fuzz targets. Each target defines its entry function
// (vexcam::fuzz::Fuzz<Name>), which both the libFuzzer executables
// (VEXCAM_FUZZ build) and the normal replay test call, one input at a time.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vexcam::fuzz {

int FuzzMaskFile(const uint8_t* data, size_t size);
int FuzzConfigFile(const uint8_t* data, size_t size);
int FuzzSettingsFile(const uint8_t* data, size_t size);
int FuzzSimulatorList(const uint8_t* data, size_t size);
int FuzzFramePath(const uint8_t* data, size_t size);

// Reads little-endian fields from the input; past its end every read gives 0.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  size_t Left() const { return at_ < size_ ? size_ - at_ : 0; }
  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{U8()} << (8 * i);
    return v;
  }
  // Copies up to n bytes (zero-filled past the end).
  void Bytes(uint8_t* out, size_t n) {
    if (n == 0) return;
    const size_t take = n < Left() ? n : Left();
    if (take > 0) std::memcpy(out, data_ + at_, take);
    std::memset(out + take, 0, n - take);
    at_ += take;
  }
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + (at_ < size_ ? at_ : size_),
                          Left());
    at_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A scratch folder of this process, made on first use and removed at exit.
// In the fuzz executables it also becomes XDG_CONFIG_HOME and gives the
// process its own device-table name (the test main does that for the replay).
const std::string& ScratchDir();
// Writes bytes to a file in the scratch folder; returns its path.
std::string WriteScratchFile(const char* name, std::string_view bytes);
// A handle on the simulated ZA01, made once per process (0 on failure).
uint32_t SharedHandle();

}  // namespace vexcam::fuzz
