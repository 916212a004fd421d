#include "platform/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vexcam {

std::atomic<uint32_t> g_debugMask{0};

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};

std::mutex g_outputMutex;
std::unique_ptr<FILE, FileCloser> g_file;  // guarded by g_outputMutex; null: standard error
timespec g_start{};

constexpr struct {
  const char* name;
  uint32_t bit;
} kCategories[] = {
    {"transport", kDebugTransport},
    {"stream", kDebugStream},
    {"camera", kDebugCamera},
    {"sensor", kDebugSensor},
    {"imaging", kDebugImaging},
    {"settings", kDebugSettings},
    {"all", kDebugAll},
};

const char* NameOf(uint32_t category) {
  for (const auto& c : kCategories) {
    if (c.bit == category) return c.name;
  }
  return "debug";
}

// Reads the environment when the library is loaded.
struct Loader {
  Loader() { ReloadDebugSettings(); }
} g_loader;

}  // namespace

uint32_t ParseDebugCategories(const char* text) {
  if (text == nullptr) return 0;
  uint32_t mask = 0;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t comma = rest.find_first_of(", ");
    const std::string_view word = rest.substr(0, comma);
    for (const auto& c : kCategories) {
      if (word == c.name) mask |= c.bit;
    }
    if (word == "1") mask |= kDebugAll;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return mask;
}

void ReloadDebugSettings() {
  std::lock_guard<std::mutex> lock(g_outputMutex);
  clock_gettime(CLOCK_MONOTONIC, &g_start);
  const uint32_t mask = ParseDebugCategories(std::getenv("VEXCAM_DEBUG"));
  g_file.reset();
  const char* path = std::getenv("VEXCAM_DEBUG_FILE");
  if (mask != 0 && path != nullptr && *path != '\0') {
    g_file.reset(std::fopen(path, "ae"));
    if (g_file) setvbuf(g_file.get(), nullptr, _IOLBF, 0);
  }
  g_debugMask.store(mask);
}

void DebugPrint(uint32_t category, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::lock_guard<std::mutex> lock(g_outputMutex);
  const double seconds = static_cast<double>(now.tv_sec - g_start.tv_sec) +
                         static_cast<double>(now.tv_nsec - g_start.tv_nsec) / 1e9;
  std::fprintf(g_file ? g_file.get() : stderr, "vexcam %.3f %s: %s\n", seconds, NameOf(category),
               text);
}

}  // namespace vexcam
