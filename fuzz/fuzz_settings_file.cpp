// The settings file parser (UTF-8, UTF-16 with a byte-order mark, REGEDIT4):
// whatever it accepts must format into text that parses back to the same tree.
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/reg_file.h"

namespace vexcam::fuzz {

int FuzzSettingsFile(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string text;
  platform::RegFile::DecodeText(bytes, &text);
  platform::RegTree tree;
  if (!platform::RegFile::Parse(bytes, &tree)) return 0;
  const std::string formatted = platform::RegFile::Format(tree);
  platform::RegTree again;
  if (!platform::RegFile::Parse(formatted, &again)) std::abort();
  if (platform::RegFile::Format(again) != formatted) std::abort();
  return 0;
}

}  // namespace vexcam::fuzz

#ifdef VEXCAM_FUZZ_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexcam::fuzz::FuzzSettingsFile(data, size);
}
#endif
