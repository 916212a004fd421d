// Test entry point shared by every test executable. Before any test runs it
// points XDG_CONFIG_HOME at a fresh temporary folder and gives the process its
// own device-table name, so tests never touch the user's settings and test
// processes running side by side (ctest -j) do not see each other's state.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/test_env.h"

namespace {

std::string g_config_home;

}  // namespace

namespace vexcam::test {
const std::string& ConfigHome() { return g_config_home; }
}  // namespace vexcam::test

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/vexcam-test-XXXXXX";
  if (char* dir = mkdtemp(tmpl)) g_config_home = dir;
  setenv("XDG_CONFIG_HOME", g_config_home.c_str(), 1);
  const std::string shm = "/vexcam-test-" + std::to_string(getpid());
  setenv("VEXCAM_SHM_NAME", shm.c_str(), 1);
  unsetenv("VEXCAM_SIMULATOR");
  // No test draws on the user's desktop; the preview tests start their own X server.
  unsetenv("DISPLAY");
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  // Also reached when only listing tests, so no empty folders pile up.
  std::error_code ec;
  if (!g_config_home.empty()) std::filesystem::remove_all(g_config_home, ec);
  return result;
}
