#include "platform/preview_module_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace vexcam {

namespace {

std::mutex g_mutex;
const VexPreviewApi* g_api = nullptr;  // guarded by g_mutex

const VexPreviewApi* TryOpen(const std::string& path) {
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return nullptr;
  auto entry = reinterpret_cast<VexPreviewGetApiFn>(dlsym(lib, VEXCAM_PREVIEW_ENTRY));
  const VexPreviewApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr || api->abi != VEXCAM_PREVIEW_ABI) {
    dlclose(lib);
    return nullptr;
  }
  return api;  // never closed: windows may outlive any one caller
}

}  // namespace

const VexPreviewApi* LoadPreviewModule() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_api != nullptr) return g_api;
  if (const char* path = std::getenv("VEXCAM_PREVIEW_MODULE"); path != nullptr && *path != '\0') {
    g_api = TryOpen(path);
    return g_api;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadPreviewModule), &info) != 0 && info.dli_fname != nullptr) {
    std::string dir = info.dli_fname;
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos) {
      g_api = TryOpen(dir.substr(0, slash + 1) + VEXCAM_PREVIEW_MODULE_NAME);
      if (g_api != nullptr) return g_api;
    }
  }
  g_api = TryOpen(VEXCAM_PREVIEW_MODULE_NAME);
  return g_api;
}

}  // namespace vexcam
