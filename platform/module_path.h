#pragma once

#include <string>
#include <vector>

namespace vexcam {

// Where a loadable module of the library (the preview window, the dialogs)
// is looked for, in order: the path in the environment variable envVariable
// when it is set and not empty (then that path only); the "vexcam" folder
// beside the library that holds this code, as installed; the library's own
// folder, as in the build tree; the bare file name, for the dynamic
// linker's search.
std::vector<std::string> ModuleSearchPaths(const char* envVariable, const char* fileName);

// Folder of the shared object that holds this code, with a trailing slash;
// empty when it cannot be told.
std::string LibraryDirectory();

}  // namespace vexcam
