// vexcam: command-line tool over the public VexCam C API.
#include <cstdio>
#include <cstring>

#include "vexcam/VexCamSdk.h"

namespace {

void PrintUsage() {
  std::puts(
      "usage: vexcam <command>\n"
      "commands:\n"
      "  version   print the library version number");
}

int CmdVersion() {
  std::printf("%u\n", static_cast<unsigned>(VexCam_GetDllVersion()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintUsage();
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "version") == 0) return CmdVersion();
  std::fprintf(stderr, "vexcam: unknown command '%s'\n", argv[1]);
  PrintUsage();
  return 2;
}
