// Where loadable modules are looked for: the installed "vexcam" folder beside
// the library before the library's own folder, an override alone when set.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/module_path.h"

namespace vexcam {
namespace {

TEST(ModulePath, InstalledFolderFirstThenBesideThenLinkerSearchOrTheOverrideAlone) {
  unsetenv("VEXCAM_TEST_MODULE");
  const std::vector<std::string> paths = ModuleSearchPaths("VEXCAM_TEST_MODULE", "libX.so");
  const std::string dir = LibraryDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], dir + "vexcam/libX.so");
  EXPECT_EQ(paths[1], dir + "libX.so");
  EXPECT_EQ(paths[2], "libX.so");

  // An override is the only candidate.
  setenv("VEXCAM_TEST_MODULE", "/opt/elsewhere/libX.so", 1);
  EXPECT_EQ(ModuleSearchPaths("VEXCAM_TEST_MODULE", "libX.so"),
            std::vector<std::string>{"/opt/elsewhere/libX.so"});
  setenv("VEXCAM_TEST_MODULE", "", 1);  // empty counts as unset
  EXPECT_EQ(ModuleSearchPaths("VEXCAM_TEST_MODULE", "libX.so").size(), 3u);
  unsetenv("VEXCAM_TEST_MODULE");
}

}  // namespace
}  // namespace vexcam
