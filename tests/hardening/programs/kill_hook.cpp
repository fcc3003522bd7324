// Linked into the setup's test build CorvaneSetupKill in place of install_files.cpp: the install
// writes through a file system that ends the process at the step CORVANE_KILL_AFTER names.
#include "app/win32/entry/install_files.h"
#include "kill_hook.h"

namespace corvane {

std::unique_ptr<FileSystem> WrapInstallFiles(FileSystem& system) {
  return std::make_unique<KillingFileSystem>(system);
}

}  // namespace corvane
