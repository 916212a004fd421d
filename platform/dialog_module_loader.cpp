#include "platform/dialog_module_loader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>

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
  if (const char* path = std::getenv("VEXCAM_DIALOGS_MODULE"); path != nullptr && *path != '\0') {
    g_api = TryOpen(path);
    return g_api;
  }
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LoadDialogModule), &info) != 0 && info.dli_fname != nullptr) {
    std::string dir = info.dli_fname;
    const size_t slash = dir.rfind('/');
    if (slash != std::string::npos) {
      g_api = TryOpen(dir.substr(0, slash + 1) + dialogs::kDialogModuleName);
      if (g_api != nullptr) return g_api;
    }
  }
  g_api = TryOpen(dialogs::kDialogModuleName);
  return g_api;
}

}  // namespace vexcam
