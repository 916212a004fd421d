// Linux extensions without a handle: the diagnosis of the installation that
// `vexcam doctor` reports on.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "camera/sensor_factory.h"
#include "identity/build_identity.h"
#include "platform/module_path.h"
#include "platform/reg_file.h"
#include "platform/reg_tree.h"
#include "platform/settings_store.h"
#include "preview/preview_module.h"
#include "sim/sim_environment.h"
#include "transport/camera_products.h"
#include "transport/device_table.h"
#include "transport/libusb_backend.h"
#include "transport/usb_hub.h"
#include "vexcam/VexCamLinux.h"

namespace vexcam {
namespace {

using platform::RegFile;
using platform::RegTree;
using platform::SettingsStore;

constexpr char kDialogsModuleName[] = "libVexCamDialogs.so";
constexpr size_t kMaxSettingsBytes = 64u << 20;

template <size_t N>
void CopyText(char (&out)[N], const std::string& text) {
  std::snprintf(out, N, "%s", text.c_str());
}

void DiagnoseSettings(VEXCAM_DIAGNOSIS* d) {
  const std::string path = SettingsStore::DefaultFilePath();
  CopyText(d->settingsPath, path);
  if (path.empty()) {
    d->settingsState = VEXCAM_SETTINGS_NO_HOME;
    return;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    d->settingsState = errno == ENOENT ? VEXCAM_SETTINGS_MISSING : VEXCAM_SETTINGS_UNREADABLE;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  if (!S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxSettingsBytes || !in) {
    d->settingsState = VEXCAM_SETTINGS_UNREADABLE;
    return;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  RegTree tree;
  if (!RegFile::Parse(bytes, &tree)) {
    d->settingsState = VEXCAM_SETTINGS_CORRUPT;
    return;
  }
  d->settingsState = VEXCAM_SETTINGS_PARSED;
  // Camera keys: the direct children of the product key.
  std::string prefix = std::string(build::ProductKey()) + "\\";
  for (char& c : prefix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::set<std::string> cameras;
  for (const auto& [folded, key] : tree.Keys()) {
    if (folded.rfind(prefix, 0) != 0) continue;
    const std::string rest = key.path.substr(prefix.size());
    cameras.insert(rest.substr(0, rest.find('\\')));
  }
  d->settingsCameras = static_cast<DWORD>(cameras.size());
  size_t i = 0;
  for (const std::string& name : cameras) {
    if (i == std::size(d->settingsCameraNames)) break;
    CopyText(d->settingsCameraNames[i++], name);
  }
}

void DiagnoseCameras(VEXCAM_DIAGNOSIS* d) {
  usb::UsbHub& hub = usb::UsbHub::Instance();
  const std::shared_ptr<usb::IUsbBackend> sim = hub.Simulator();
  for (const usb::DeviceInfo& info : hub.Enumerate()) {
    if (d->cameraCount == std::size(d->cameras)) break;
    VEXCAM_USB_CAMERA& c = d->cameras[d->cameraCount++];
    c.vendorId = info.vendorId;
    c.productId = info.productId;
    c.simulated = sim && sim->Owns(info.path) ? 1 : 0;
    if (!c.simulated) CopyText(c.location, usb::LibusbBackend::LocationOfPath(info.path));
    CopyText(c.path, info.path);
    c.opens = hub.Open(info.path) != nullptr ? 1 : 0;
  }
}

void DiagnoseTable(VEXCAM_DIAGNOSIS* d) {
  std::set<std::string> present;
  for (const usb::DeviceInfo& info : usb::UsbHub::Instance().Enumerate()) present.insert(info.path);
  std::shared_ptr<CDeviceTable> table = CDeviceTable::Attach();
  const SharedBlock block = table->Snapshot();
  d->tableCount = std::min<uint32_t>(block.count, kMaxDevices);
  d->tableLiveObjects = block.liveObjects;
  for (uint32_t i = 0; i < d->tableCount; ++i) {
    const DeviceRecord& r = block.records[i];
    VEXCAM_TABLE_ENTRY& e = d->table[i];
    e.vendorId = r.vendorId;
    e.productId = r.productId;
    e.modelNumber = r.modelNumber;
    std::memcpy(e.path, r.path, sizeof(e.path));
    e.path[sizeof(e.path) - 1] = '\0';
    e.present = present.count(e.path) != 0 ? 1 : 0;
  }
}

// The first candidate that loads; otherwise the last loader error. The module
// stays mapped after dlclose (as it does once the library loads it for real):
// the toolkit libraries it pulls in keep allocations from their constructors
// and are not made to be unloaded.
template <size_t N, size_t M>
void DiagnoseModule(const char* envVariable, const char* fileName, char (&found)[N],
                    char (&error)[M]) {
  std::string lastError = "not found";
  for (const std::string& path : ModuleSearchPaths(envVariable, fileName)) {
    const bool absolute = path.find('/') != std::string::npos;
    if (absolute && access(path.c_str(), F_OK) != 0) continue;
    void* lib = dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
    if (lib == nullptr) {
      const char* why = dlerror();
      lastError = why != nullptr ? why : "cannot be loaded";
      continue;
    }
    link_map* map = nullptr;
    CopyText(found,
             dlinfo(lib, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name[0] != '\0'
                 ? std::string(map->l_name)
                 : path);
    dlclose(lib);
    return;
  }
  CopyText(error, lastError);
}

}  // namespace
}  // namespace vexcam

extern "C" VEXCAM_API BOOL VexCamX_Diagnose(VEXCAM_DIAGNOSIS* diagnosis) {
  using namespace vexcam;
  if (diagnosis == nullptr || diagnosis->size != sizeof(VEXCAM_DIAGNOSIS)) return 0;
  sim::InstallFromEnvironment();
  usb::SetCameraProductIds(FamilyProductIds());
  *diagnosis = VEXCAM_DIAGNOSIS{};
  diagnosis->size = sizeof(VEXCAM_DIAGNOSIS);
  DiagnoseSettings(diagnosis);
  DiagnoseCameras(diagnosis);
  DiagnoseTable(diagnosis);
  DiagnoseModule("VEXCAM_PREVIEW_MODULE", VEXCAM_PREVIEW_MODULE_NAME, diagnosis->previewModule,
                 diagnosis->previewModuleError);
  DiagnoseModule("VEXCAM_DIALOGS_MODULE", kDialogsModuleName, diagnosis->dialogsModule,
                 diagnosis->dialogsModuleError);
  return 1;
}
