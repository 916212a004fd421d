// The shared library's dynamic symbol table is exactly the C API, and an
// unknown handle gives every export's failure value (null pointers and
// out-of-range values on a live instance are the abuse suite's, whose table
// of calls this uses).
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "api_abuse/abuse_calls.h"
#include "common/test_env.h"

extern "C" unsigned vexcam_c_header_version(void);

namespace {

std::set<std::string> ReadLines(const std::string& path) {
  std::set<std::string> names;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) names.insert(line);
  }
  return names;
}

using vexcam::test::CommandLines;

// Names of the defined dynamic symbols, from nm.
std::set<std::string> DefinedDynamicSymbols() {
  std::set<std::string> names;
  for (const std::string& line :
       CommandLines(std::string("nm -D --defined-only ") + VEXCAM_SO_PATH)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names.insert(name.substr(0, name.find('@')));
  }
  return names;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

TEST(Exports, EveryApiFunctionIsExportedAndNothingElse) {
  const std::set<std::string> wanted = ReadLines(VEXCAM_EXPORTS_PATH);
  ASSERT_EQ(wanted.size(), 149u);
  const std::set<std::string> symbols = DefinedDynamicSymbols();
  ASSERT_FALSE(symbols.empty()) << "nm gave no symbols for " << VEXCAM_SO_PATH;

  for (const std::string& name : wanted)
    EXPECT_TRUE(symbols.count(name)) << name << " not exported";
  for (const std::string& name : symbols) {
    if (StartsWith(name, "VexCam_")) {
      EXPECT_TRUE(wanted.count(name)) << name << " exported but not part of the API";
    } else {
      // Only the Linux extensions may stand beside the API; no C++ symbol leaks.
      EXPECT_TRUE(StartsWith(name, "VexWin_") || StartsWith(name, "VexWinX_") ||
                  StartsWith(name, "VexCamX_") || StartsWith(name, "VexSim_"))
          << name << " leaks";
    }
  }
}

TEST(Exports, CopyOfTheListMatches) {
  EXPECT_EQ(ReadLines(VEXCAM_EXPORTS_PATH), ReadLines(VEXCAM_EXPORTS_COPY));
}

// The window system comes only with the preview module, loaded on demand.
TEST(Exports, LibraryLinksNoWindowSystem) {
  std::string needed;
  for (const std::string& line : CommandLines(std::string("readelf -d ") + VEXCAM_SO_PATH))
    if (line.find("(NEEDED)") != std::string::npos) needed += line;
  EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
  EXPECT_EQ(needed.find("libX"), std::string::npos) << needed;
  EXPECT_EQ(needed.find("libxcb"), std::string::npos) << needed;
}

TEST(Exports, VersionNeedsNoHandleAndHeadersCompileAsC) {
  EXPECT_EQ(vexcam_c_header_version(), 34080033u);
}

// The table holds every export that takes an instance; the ok flags and
// buffers it is given are left alone.
TEST(BadInput, UnknownHandlesGiveFailureValues) {
  std::set<std::string> wanted = ReadLines(VEXCAM_EXPORTS_PATH);
  for (const char* name : {"VexCam_Initialize", "VexCam_Release", "VexCam_GetDllVersion"})
    wanted.erase(name);
  std::set<std::string> called;
  vexcam::abuse::Buffers b(4096);
  for (const vexcam::abuse::Export& e : vexcam::abuse::Exports()) {
    called.insert(std::string(e.name).substr(0, std::string(e.name).find('/')));
    for (DWORD h : {0u, 1u, 0xFFFFFFFFu})
      for (bool null : {true, false})
        EXPECT_TRUE(e.call(h, {.v = -1, .v2 = -1, .null = null, .raw = true}, b))
            << e.name << " for handle " << h << (null ? " with null pointers" : "");
  }
  EXPECT_EQ(called, wanted);
}

}  // namespace
