#include "platform/preview_module_loader.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

#include "platform/module_path.h"

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
  for (const std::string& path :
       ModuleSearchPaths("VEXCAM_PREVIEW_MODULE", VEXCAM_PREVIEW_MODULE_NAME)) {
    g_api = TryOpen(path);
    if (g_api != nullptr) break;
  }
  return g_api;
}

}  // namespace vexcam
