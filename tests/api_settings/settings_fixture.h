#pragma once
// Fixture of the settings tests: simulated ZA01 cameras, one instance, and
// direct access to the settings file as text.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/api_fixture.h"

namespace settings_test {

inline const std::string kProduct = "HKEY_CURRENT_USER\\Software\\Quorin\\VexCamZA013K9Sdk";

inline std::string RegPath() { return vexcam::test::SettingsPath().string(); }

// Writes the settings file; `body` holds sections relative to the product
// key: {"Camera_00\\Filter", {{"Gamma", 100}}}.
using Values = std::vector<std::pair<std::string, uint32_t>>;
inline void WriteReg(const std::vector<std::pair<std::string, Values>>& sections) {
  std::filesystem::create_directories(vexcam::test::ConfigHome() + "/Quorin");
  std::ofstream out(RegPath(), std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\n\n[" << kProduct << "]\n\n";
  for (const auto& [key, values] : sections) {
    out << "[" << kProduct << "\\" << key << "]\n";
    for (const auto& [name, value] : values) {
      char hex[16];
      std::snprintf(hex, sizeof(hex), "%08x", value);
      out << "\"" << name << "\"=dword:" << hex << "\n";
    }
    out << "\n";
  }
}

// The settings file as {key below the product key: [(value name, text after
// '=')] in file order}.
inline std::map<std::string, std::vector<std::pair<std::string, std::string>>> ReadReg() {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> keys;
  std::ifstream in(RegPath(), std::ios::binary);
  std::string line;
  std::string current;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[') {
      current = line.substr(1, line.size() - 2);
      if (current.rfind(kProduct, 0) == 0)
        current = current.substr(std::min(current.size(), kProduct.size() + 1));
      keys[current];
    } else if (line.size() > 2 && line.front() == '"') {
      const size_t eq = line.find("\"=");
      if (eq != std::string::npos)
        keys[current].emplace_back(line.substr(1, eq - 1), line.substr(eq + 2));
    }
  }
  return keys;
}

// The text after '=' of a value; empty when it is missing.
inline std::string Text(const std::string& key, const std::string& name) {
  auto keys = ReadReg();
  for (const auto& [n, text] : keys[key])
    if (n == name) return text;
  return "";
}

inline std::optional<uint32_t> Dword(const std::string& key, const std::string& name) {
  const std::string text = Text(key, name);
  if (text.rfind("dword:", 0) != 0) return std::nullopt;
  return static_cast<uint32_t>(std::stoul(text.substr(6), nullptr, 16));
}

inline bool HasKey(const std::string& key) { return ReadReg().count(key) != 0; }

// A capture-window preset of the ZA01's 640 x 512 sensor.
inline Values Preset(uint32_t width, uint32_t height, uint32_t x, uint32_t y) {
  return {{"TH", 640}, {"TV", 512}, {"EH", width}, {"EV", height},
          {"EHS", x},  {"EVS", y},  {"Buf", 4}};
}

using vexcam::test::ReadFile;
using vexcam::test::WriteFile;

class SettingsTest : public vexcam::test::ApiTest {
 protected:
  // Adds `cameras` simulated ZA01s and makes an instance without windows; a
  // single camera is opened as device 0 by the initialiser.
  DWORD Start(int cameras = 1) {
    AddCameras(cameras);
    return Init();
  }
};

}  // namespace settings_test
