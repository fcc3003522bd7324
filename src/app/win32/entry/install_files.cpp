#include "app/win32/entry/install_files.h"

namespace corvane {

std::unique_ptr<FileSystem> WrapInstallFiles(FileSystem&) { return nullptr; }

}  // namespace corvane
