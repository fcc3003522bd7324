// uninstall.exe, the product's uninstaller: removes what the setup installed; the setup packs it
// with the product's files.
//   uninstall.exe [/S] [/LOG=path]
// The removal itself is in uninstall_logic; this is its Windows entry.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "system/win32/app_message_box.h"
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

std::vector<std::string> CommandArguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!argv) return args;
  for (int k = 1; k < count; ++k) args.push_back(corvane::FromWide(argv[k]));
  LocalFree(argv);
  return args;
}

std::string ModulePath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return n > 0 && n < buffer.size() ? corvane::FromWide(std::wstring_view(buffer.data(), n))
                                    : std::string();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  corvane::HardenDllSearch();
  const UINT previousMode = SetErrorMode(0);
  SetErrorMode(previousMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // A current folder inside the install folder would keep that folder from being removed.
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n > 0 && n < MAX_PATH) SetCurrentDirectoryW(system);

  const corvane::UninstallOptions options = corvane::ParseUninstallArguments(CommandArguments());
  corvane::Win32Registry registry;
  corvane::Win32KnownFolderSource folders;
  corvane::Win32RemovalFileSystem files;
  corvane::Win32InstanceLock lock;
  MessageBoxUi ui;
  corvane::Win32LogFile log(options.cleanupFolder.empty() ? options.logPath : std::string());
  corvane::UninstallServices services{registry, folders, files, lock, ui, log};

  if (!options.cleanupFolder.empty()) {
    corvane::WaitForStarter(options.waitFor);
    return corvane::RemoveLeftUninstaller(services, options.cleanupFolder) ? 0 : 1;
  }
  const corvane::UninstallResult result =
      corvane::RunUninstall(services, options.silent, ModulePath());
  if (!result.leftInstallFolder.empty()) corvane::StartCleanupCopy(result.leftInstallFolder);
  return corvane::UninstallExitCode(result.outcome);
}
