// Linked into the setup's test build CorvaneSetupKill in place of install_files.cpp: the install
// works through a folder guard that ends the process at the step CORVANE_KILL_AFTER names.
#include "kill_hook.h"
#include "app/win32/entry/install_files.h"

namespace corvane {

std::unique_ptr<FolderSecurity> WrapFolderSecurity(FolderSecurity& system) {
  return std::make_unique<KillingFolderSecurity>(system);
}

}  // namespace corvane
