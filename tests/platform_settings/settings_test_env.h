#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "common/test_env.h"

namespace vexcam::test {

// Gives each test its own XDG_CONFIG_HOME below the process's temporary
// folder, so every test starts without a settings file.
class SettingsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    home_ = ConfigHome() + "/" + info->test_suite_name() + "." + info->name();
    std::filesystem::create_directories(home_);
    setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  }
  void TearDown() override { setenv("XDG_CONFIG_HOME", ConfigHome().c_str(), 1); }

  std::string Folder() const { return home_ + "/Quorin"; }
  std::string File() const { return Folder() + "/VexCamZA013K9Sdk.reg"; }

  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::string home_;
};

// Text as a registry export in UTF-16 with its byte-order mark.
inline std::string Utf16Le(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

}  // namespace vexcam::test
