#pragma once
// vexcam doctor: what stands between this user and the first frame.

namespace vexcam::tool {

// Prints the findings; 0 when nothing blocks capture, 1 otherwise.
int RunDoctor();

}  // namespace vexcam::tool
