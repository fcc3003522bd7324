// uninstall.exe, the product's uninstaller: removes what the setup installed; the setup packs it
// with the product's files.
//   uninstall.exe [/S] [/LOG=path]
// The removal itself is in uninstall_logic; this is its Windows entry.
#include <windows.h>

#include <string>
#include <vector>

#include "system/win32/app_message_box.h"
#include "system/win32/command_line.h"
#include "system/win32/file_paths.h"
#include "system/win32/log_file.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"
#include "system/win32/win32_instance_lock.h"
#include "system/win32/win32_known_folders.h"
#include "system/win32/win32_registry.h"
#include "uninstall/uninstall_logic.h"
#include "uninstall/win32/self_removal.h"
#include "uninstall/win32/win32_removal.h"

namespace {

class MessageBoxUi final : public corvane::UninstallUi {
 public:
  bool Confirm(std::string_view question) override {
    return corvane::AppMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  void Tell(std::string_view text) override {
    corvane::AppMessageBox(text, MB_OK | MB_ICONINFORMATION);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything else: links that a non-administrator made are not followed (where the
  // system has the guard), and DLLs come from System32 only.
  const bool redirectionGuarded = corvane::EnableRedirectionGuard();
  corvane::HardenDllSearch();
  const UINT previousMode = SetErrorMode(0);
  SetErrorMode(previousMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // A current folder inside the install folder would keep that folder from being removed.
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n > 0 && n < MAX_PATH) SetCurrentDirectoryW(system);

  const corvane::UninstallOptions options =
      corvane::ParseUninstallArguments(corvane::CommandArguments());
  corvane::Win32Registry registry;
  corvane::Win32KnownFolderSource folders;
  corvane::Win32RemovalFileSystem files;
  corvane::Win32InstanceLock lock;
  MessageBoxUi ui;
  corvane::Win32LogFile log(options.cleanup ? std::string() : options.logPath);
  corvane::UninstallServices services{registry, folders, files, lock, ui, log};

  if (options.cleanup) {
    // Only the folders inherited from the uninstaller that started this copy.
    if (options.cleanupFolders.empty()) return 1;
    corvane::WaitForStarter(options.waitFor);
    return corvane::RemoveLeftUninstaller(services, options.cleanupFolders) ? 0 : 1;
  }
  const corvane::UninstallResult result = corvane::RunUninstall(
      services, options.silent, corvane::FromWide(corvane::ModulePath()), redirectionGuarded);
  if (!result.leftFolders.empty()) {
    corvane::StartCleanupCopy(result.leftFolders);
    for (const auto folder : result.leftFolders) files.Close(folder);
  }
  return corvane::UninstallExitCode(result.outcome);
}
