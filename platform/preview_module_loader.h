#pragma once

#include "preview/preview_module.h"

namespace vexcam {

// The preview module, loaded with dlopen on first use and kept for the life
// of the process. Looked for at $VEXCAM_PREVIEW_MODULE, then next to the
// library that contains this code, then by the dynamic linker's search. Null
// when it cannot be loaded or speaks another interface version; a later call
// tries again. Any thread.
const VexPreviewApi* LoadPreviewModule();

}  // namespace vexcam
