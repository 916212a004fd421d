// Debug output: categories from VEXCAM_DEBUG, lines into VEXCAM_DEBUG_FILE,
// nothing (and no argument evaluated) when off.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/test_env.h"
#include "platform/debug_log.h"

namespace vexcam {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class DebugLog : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("VEXCAM_DEBUG");
    unsetenv("VEXCAM_DEBUG_FILE");
    ReloadDebugSettings();
    std::filesystem::remove(path_);
  }
  std::string path_ = std::string(test::ConfigHome()) + "/debug.log";
};

TEST_F(DebugLog, LinesOfTheChosenCategoriesGoToTheFileAndNothingWhenOff) {
  EXPECT_EQ(ParseDebugCategories(""), 0u);
  EXPECT_EQ(ParseDebugCategories("camera,,bogus,sensor"), kDebugCamera | kDebugSensor);
  EXPECT_EQ(ParseDebugCategories("all"), static_cast<uint32_t>(kDebugAll));
  EXPECT_EQ(ParseDebugCategories("streams"), 0u);
  setenv("VEXCAM_DEBUG", "stream,settings", 1);
  setenv("VEXCAM_DEBUG_FILE", path_.c_str(), 1);
  ReloadDebugSettings();
  VEXCAM_DEBUG(kDebugStream, "retry %d of %d", 1, 4);
  VEXCAM_DEBUG(kDebugTransport, "not wanted");
  VEXCAM_DEBUG(kDebugSettings, "saved %s", "x.reg");
  const std::string text = Slurp(path_);
  EXPECT_NE(text.find(" stream: retry 1 of 4\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" settings: saved x.reg\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("not wanted"), std::string::npos) << text;

  // Off: nothing written, no argument evaluated.
  unsetenv("VEXCAM_DEBUG");
  std::filesystem::remove(path_);
  ReloadDebugSettings();
  int evaluated = 0;
  VEXCAM_DEBUG(kDebugAll, "%d", ++evaluated);
  EXPECT_EQ(evaluated, 0);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace vexcam
