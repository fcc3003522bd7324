// The file system the install writes through. The setup uses the system's own; a test build of
// the setup links another definition of WrapInstallFiles in place of install_files.cpp.
#pragma once

#include <memory>

#include "payload/file_system.h"

namespace corvane {

// A file system that stands in for `system` for the whole run, or null for `system` itself.
std::unique_ptr<FileSystem> WrapInstallFiles(FileSystem& system);

}  // namespace corvane
