// The VEXCAM_SIMULATOR list: at most one id per comma-separated entry, never 0.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "sim/sim_environment.h"

namespace vexcam::fuzz {

int FuzzSimulatorList(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // up to the first NUL
  const std::vector<uint16_t> ids = sim::ParseSimulatorList(text.c_str());
  const std::string seen(text.c_str());
  if (ids.size() > static_cast<size_t>(std::count(seen.begin(), seen.end(), ',')) + 1) std::abort();
  if (std::find(ids.begin(), ids.end(), 0) != ids.end()) std::abort();
  return 0;
}

}  // namespace vexcam::fuzz

#ifdef VEXCAM_FUZZ_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return vexcam::fuzz::FuzzSimulatorList(data, size);
}
#endif
