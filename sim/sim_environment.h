#pragma once
// Simulated cameras for unmodified applications: the environment variable
// VEXCAM_SIMULATOR holds a comma-separated list of product ids in
// hexadecimal, with or without "0x" ("3200", "0x3200,3200,3260"). Blanks
// around an entry are ignored; an entry that is not 1 to 4 hex digits, or is
// 0, is skipped. When the variable is set and not empty, discovery lists
// exactly these cameras, in this order, and no real USB device.

#include <cstdint>
#include <vector>

namespace vexcam::sim {

inline constexpr char kSimulatorVariable[] = "VEXCAM_SIMULATOR";

std::vector<uint16_t> ParseSimulatorList(const char* text);

// Reads VEXCAM_SIMULATOR once per process; when set, adds its cameras and
// installs the simulator exclusively. Idempotent and thread-safe.
void InstallFromEnvironment();

// Installs the simulator for the C API on first use: exclusively with the
// cameras of VEXCAM_SIMULATOR when it is set, else beside the real devices.
void EnsureSimulatorInstalled();

}  // namespace vexcam::sim
