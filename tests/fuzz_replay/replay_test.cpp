// Replays the seed corpora and every kept crash input through the fuzz
// targets' entry functions: corpus/<target>/ and regressions/<target>/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace vexcam::fuzz {
namespace {

using Entry = int (*)(const uint8_t*, size_t);

size_t ReplayFolder(const std::string& target, Entry entry) {
  size_t count = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path dir = std::filesystem::path(VEXCAM_FUZZ_INPUTS) / kind / target;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) continue;
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
      if (!file.is_regular_file()) continue;
      std::ifstream in(file.path(), std::ios::binary);
      const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
      SCOPED_TRACE(file.path().string());
      entry(bytes.data(), bytes.size());
      ++count;
    }
  }
  return count;
}

struct Target {
  const char* name;
  Entry entry;
};

class Replay : public ::testing::TestWithParam<Target> {};

TEST_P(Replay, EveryKeptInputRunsClean) {
  EXPECT_GT(ReplayFolder(GetParam().name, GetParam().entry), 0u)
      << "no inputs for " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay,
                         ::testing::Values(Target{"mask_file", FuzzMaskFile},
                                           Target{"config_file", FuzzConfigFile},
                                           Target{"settings_file", FuzzSettingsFile},
                                           Target{"simulator_list", FuzzSimulatorList},
                                           Target{"frame_path", FuzzFramePath}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexcam::fuzz
