#pragma once
// The vexcam commands: each takes main's arguments (argv[1] is the command)
// and returns the tool's exit code (0 done, 1 failed, 2 bad arguments).

namespace vexcam::tool {

// device_commands.cpp
int CmdVersion();
int CmdList(int argc, char** argv);
int CmdInfo(int argc, char** argv);
int CmdRegs(int argc, char** argv);

// capture_commands.cpp
int CmdStream(int argc, char** argv);
int CmdSnap(int argc, char** argv);
int CmdRecord(int argc, char** argv);
int CmdPreview(int argc, char** argv);
int CmdDialog(int argc, char** argv);

}  // namespace vexcam::tool
