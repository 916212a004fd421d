#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "camera/product_table.h"
#include "identity/build_identity.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamSim.h"

namespace vexcam::fuzz {

namespace {

std::string g_scratch;

void RemoveScratch() {
  std::error_code ec;
  if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ec);
}

}  // namespace

const std::string& ScratchDir() {
  static std::once_flag once;
  std::call_once(once, [] {
    char tmpl[] = "/tmp/vexcam-fuzz-XXXXXX";
    if (char* dir = mkdtemp(tmpl)) g_scratch = dir;
#ifdef VEXCAM_FUZZ_MAIN
    setenv("XDG_CONFIG_HOME", g_scratch.c_str(), 1);
    const std::string shm = "/vexcam-fuzz-" + std::to_string(getpid());
    setenv("VEXCAM_SHM_NAME", shm.c_str(), 1);
    unsetenv("VEXCAM_SIMULATOR");
#endif
    std::atexit(RemoveScratch);
  });
  return g_scratch;
}

std::string WriteScratchFile(const char* name, std::string_view bytes) {
  const std::string path = ScratchDir() + "/" + name;
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

uint32_t SharedHandle() {
  static uint32_t handle = [] {
    ScratchDir();
    if (VexSim_AddCamera(build::ProductId()) == 0) return 0u;
    // With exactly one camera present, the instance opens it itself.
    return static_cast<uint32_t>(VexCam_Initialize(nullptr));
  }();
  static std::once_flag release;
  std::call_once(release, [] { std::atexit([] { VexCam_Release(handle); }); });
  return handle;
}

}  // namespace vexcam::fuzz
