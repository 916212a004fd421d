#pragma once
// Debug output for support. Off unless VEXCAM_DEBUG names categories
// (transport, stream, camera, sensor, imaging, settings, or all, separated by
// commas); lines go to standard error, or appended to VEXCAM_DEBUG_FILE. The
// environment is read once when the library loads. When off, VEXCAM_DEBUG()
// costs one load and one branch: its arguments are not evaluated.

#include <atomic>
#include <cstdint>

namespace vexcam {

enum DebugCategory : uint32_t {
  kDebugTransport = 1u << 0,  // USB requests and transfers that fail
  kDebugStream = 1u << 1,     // frame retries, pipe resets, give-ups
  kDebugCamera = 1u << 2,     // device arrival and removal, opening, bring-up
  kDebugSensor = 1u << 3,     // sensor driver choice
  kDebugImaging = 1u << 4,    // pipeline paths and threads
  kDebugSettings = 1u << 5,   // settings file load and save
  kDebugAll = (1u << 6) - 1,
};

// Categories switched on; written once at load (and by tests).
extern std::atomic<uint32_t> g_debugMask;

inline bool DebugEnabled(uint32_t category) {
  return (g_debugMask.load(std::memory_order_relaxed) & category) != 0;
}

// One line: "vexcam <seconds since load> <category>: <text>". Thread-safe.
void DebugPrint(uint32_t category, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Parses a VEXCAM_DEBUG value into a mask; unknown words are ignored.
uint32_t ParseDebugCategories(const char* text);

// Re-reads VEXCAM_DEBUG and VEXCAM_DEBUG_FILE (for tests).
void ReloadDebugSettings();

}  // namespace vexcam

#define VEXCAM_DEBUG(category, ...)                                                    \
  do {                                                                                 \
    if (::vexcam::DebugEnabled(category)) ::vexcam::DebugPrint(category, __VA_ARGS__); \
  } while (0)
