#include "app/win32/entry/install_files.h"

namespace corvane {

std::unique_ptr<FolderSecurity> WrapFolderSecurity(FolderSecurity&) { return nullptr; }

}  // namespace corvane
