#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace vexcam::test {
// The temporary folder that XDG_CONFIG_HOME points at for this test process.
const std::string& ConfigHome();

// The lines a shell command prints (none when it cannot be started).
inline std::vector<std::string> CommandLines(const std::string& command) {
  std::vector<std::string> lines;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[1024];
    while (fgets(line, sizeof line, pipe)) lines.emplace_back(line);
    pclose(pipe);
  }
  return lines;
}
}  // namespace vexcam::test
