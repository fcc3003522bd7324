// The folder guard the install works through: every folder it holds, and every file it makes,
// links, renames or removes in them. The setup uses the system's own; a test build of the setup
// links another definition of WrapFolderSecurity in place of install_files.cpp.
#pragma once

#include <memory>

#include "payload/folder_security.h"

namespace corvane {

// A folder guard that stands in for `system` for the whole run, or null for `system` itself.
std::unique_ptr<FolderSecurity> WrapFolderSecurity(FolderSecurity& system);

}  // namespace corvane
