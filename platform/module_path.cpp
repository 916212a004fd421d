#include "platform/module_path.h"

#include <dlfcn.h>

#include <cstdlib>

namespace vexcam {

namespace {
// Installed modules live in a folder of their own so that the linker's search
// path never offers them to applications.
constexpr const char* kModuleFolder = "vexcam/";
}  // namespace

std::string LibraryDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::string dir = info.dli_fname;
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos) return {};
  return dir.substr(0, slash + 1);
}

std::vector<std::string> ModuleSearchPaths(const char* envVariable, const char* fileName) {
  if (envVariable != nullptr) {
    if (const char* path = std::getenv(envVariable); path != nullptr && *path != '\0')
      return {path};
  }
  std::vector<std::string> paths;
  const std::string dir = LibraryDirectory();
  if (!dir.empty()) {
    paths.push_back(dir + kModuleFolder + fileName);
    paths.push_back(dir + fileName);
  }
  paths.emplace_back(fileName);
  return paths;
}

}  // namespace vexcam
