#pragma once

#include "dialogs/dialog_module.h"

namespace vexcam {

// The dialog module, loaded with dlopen on first use and kept for the life
// of the process (Qt cannot be unloaded). Looked for at
// $VEXCAM_DIALOGS_MODULE, then next to the library that contains this code,
// then by the dynamic linker's search. Null when it cannot be loaded (Qt
// missing) or speaks another interface version; a later call tries again.
// Any thread.
const dialogs::DialogApi* LoadDialogModule();

}  // namespace vexcam
