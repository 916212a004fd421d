#include "platform/dialog_module_loader.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

#include "platform/module_path.h"

namespace vexcam {

namespace {

std::mutex g_mutex;
const dialogs::DialogApi* g_api = nullptr;  // guarded by g_mutex

const dialogs::DialogApi* TryOpen(const std::string& path) {
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return nullptr;
  auto entry = reinterpret_cast<dialogs::GetDialogApiFn>(dlsym(lib, dialogs::kDialogEntry));
  const dialogs::DialogApi* api = entry != nullptr ? entry() : nullptr;
  if (api == nullptr || api->abi != dialogs::kDialogAbi) {
    dlclose(lib);
    return nullptr;
  }
  return api;  // never closed: Qt's threads and statics stay with it
}

}  // namespace

const dialogs::DialogApi* LoadDialogModule() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_api != nullptr) return g_api;
  for (const std::string& path :
       ModuleSearchPaths("VEXCAM_DIALOGS_MODULE", dialogs::kDialogModuleName)) {
    g_api = TryOpen(path);
    if (g_api != nullptr) break;
  }
  return g_api;
}

}  // namespace vexcam
