#include "sim/sim_environment.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>

#include "sim/sim_backend.h"

namespace vexcam::sim {

std::vector<uint16_t> ParseSimulatorList(const char* text) {
  std::vector<uint16_t> ids;
  if (text == nullptr) return ids;
  const std::string all(text);
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(',', start);
    if (end == std::string::npos) end = all.size();
    std::string entry = all.substr(start, end - start);
    start = end + 1;
    while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.front())))
      entry.erase(0, 1);
    while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.back())))
      entry.pop_back();
    if (entry.size() > 2 && entry[0] == '0' && (entry[1] == 'x' || entry[1] == 'X'))
      entry.erase(0, 2);
    if (entry.empty() || entry.size() > 4) continue;
    uint32_t value = 0;
    bool valid = true;
    for (char c : entry) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) {
        valid = false;
        break;
      }
      value = value * 16 +
              static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                        ? c - '0'
                                        : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    if (valid && value != 0) ids.push_back(static_cast<uint16_t>(value));
  }
  return ids;
}

namespace {

// The variable's text, read once per process; null when unset or empty.
const char* SimulatorListText() {
  static const char* const text = [] {
    const char* value = std::getenv(kSimulatorVariable);
    return value != nullptr && *value != 0 ? value : nullptr;
  }();
  return text;
}

}  // namespace

void InstallFromEnvironment() {
  static std::once_flag once;
  std::call_once(once, [] {
    const char* text = SimulatorListText();
    if (text == nullptr) return;
    SimBackend& backend = SimBackend::Instance();
    for (uint16_t id : ParseSimulatorList(text)) backend.AddCamera(id);
    backend.Install(true);
  });
}

void EnsureSimulatorInstalled() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (SimulatorListText() != nullptr)
      InstallFromEnvironment();
    else
      SimBackend::Instance().Install(false);
  });
}

}  // namespace vexcam::sim
