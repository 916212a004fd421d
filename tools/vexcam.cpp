// vexcam: command-line tool over the public VexCam C API.
#include <cstdio>
#include <cstring>

#include "tools/cli_common.h"
#include "tools/commands.h"
#include "tools/doctor.h"

int main(int argc, char** argv) {
  using namespace vexcam::tool;
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintUsage();
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "version") == 0) return CmdVersion();
  if (std::strcmp(argv[1], "list") == 0) return CmdList(argc, argv);
  if (std::strcmp(argv[1], "doctor") == 0) return RunDoctor();
  if (std::strcmp(argv[1], "info") == 0) return CmdInfo(argc, argv);
  if (std::strcmp(argv[1], "regs") == 0) return CmdRegs(argc, argv);
  if (std::strcmp(argv[1], "stream") == 0) return CmdStream(argc, argv);
  if (std::strcmp(argv[1], "snap") == 0) return CmdSnap(argc, argv);
  if (std::strcmp(argv[1], "record") == 0) return CmdRecord(argc, argv);
  if (std::strcmp(argv[1], "preview") == 0) return CmdPreview(argc, argv);
  if (std::strcmp(argv[1], "dialog") == 0) return CmdDialog(argc, argv);
  std::fprintf(stderr, "vexcam: unknown command '%s'\n", argv[1]);
  PrintUsage();
  return 2;
}
