#pragma once

#include "preview/preview_module.h"

namespace vexcam {

// The preview module, loaded with dlopen on first use and kept for the life
// of the process. Looked for where ModuleSearchPaths says, with
// $VEXCAM_PREVIEW_MODULE as the override. Null
// when it cannot be loaded or speaks another interface version; a later call
// tries again. Any thread.
const VexPreviewApi* LoadPreviewModule();

}  // namespace vexcam
