#pragma once
#include <string>

namespace vexcam::test {
// The temporary folder that XDG_CONFIG_HOME points at for this test process.
const std::string& ConfigHome();
}  // namespace vexcam::test
