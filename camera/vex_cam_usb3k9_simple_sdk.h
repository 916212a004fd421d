#pragma once
// The camera device model the instance creates: the base with its own
// destructor only.

#include "camera/vex_cam_u3k9_base.h"

namespace vexcam {

class CVexCamUSB3K9SimpleSdk : public CVexCamU3K9Base {
 public:
  CVexCamUSB3K9SimpleSdk() = default;
  ~CVexCamUSB3K9SimpleSdk() override;
};

}  // namespace vexcam
