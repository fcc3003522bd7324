// The setup program's entry: error mode, the command line, the application object, Start;
// the exit status tells the outcome.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/product_files.h"
#include "app/setup_app.h"
#include "app/win32/com_apartment.h"
#include "app/win32/entry/install_files.h"
#include "app/win32/setup_dialog.h"
#include "payload/paths.h"
#include "payload/win32/module_resources.h"
#include "payload/win32/win32_file_system.h"
#include "payload/win32/win32_folder_security.h"
#include "system/win32/app_message_box.h"
#include "system/win32/command_line.h"
#include "system/win32/handle.h"
#include "system/win32/log_file.h"
#include "system/win32/system_library.h"
#include "system/win32/wide.h"
#include "system/win32/win32_file_holders.h"
#include "system/win32/win32_instance_lock.h"
#include "system/win32/win32_known_folders.h"
#include "system/win32/win32_registry.h"
#include "system/win32/win32_shell.h"

namespace corvane {
namespace {

// The system services of one run, for the dialog or the unattended install.
struct Win32Services {
  Win32FileSystem files;
  ModuleResources resources;
  Win32Registry registry;
  Win32KnownFolderSource folders;
  Win32Shell shell;
  Win32ComApartment com;
  Win32FolderSecurity systemSecurity;
  std::unique_ptr<FolderSecurity> wrappedSecurity = WrapFolderSecurity(systemSecurity);
  FolderSecurity& security = wrappedSecurity ? *wrappedSecurity : systemSecurity;
  Win32FileHolders holders;
  SetupServices services{files, resources, registry, folders, shell,
                         com,   security,  nullptr,  &holders};
};

struct ProgramWindowSearch {
  const std::wstring& program;
  HWND found = nullptr;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<ProgramWindowSearch*>(parameter);
  DWORD processId = 0;
  if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, &processId) == 0) return TRUE;
  const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t path[MAX_PATH * 4];
  DWORD length = MAX_PATH * 4;
  if (!process.Valid() || !QueryFullProcessImageNameW(process.Get(), 0, path, &length)) {
    return TRUE;
  }
  if (CompareStringOrdinal(path, static_cast<int>(length), search.program.c_str(), -1, TRUE) !=
      CSTR_EQUAL) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

// A visible top-level window of a process whose program file is `program` (its full path), or
// null.
HWND WindowOfProgram(const std::wstring& program) {
  ProgramWindowSearch search{program};
  EnumWindows(FindProgramWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class Win32StartHost final : public StartHost {
 public:
  Win32StartHost(HINSTANCE instance, SetupApp& app)
      : instance_(instance), app_(app), log_(app.options.logPath) {}

  // The 8-bit query with the 148-byte structure: the one call every platform family answers.
  unsigned long PlatformId() override {
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return 0;
    return info.dwPlatformId;
  }

  void ShowMessage(std::string_view text) override { AppMessageBox(text, MB_OK); }

  SetupOutcome RunSetupDialog() override {
    Win32Services system;
    // With /LOG the programs and pages the dialog starts are logged, with the way they started.
    LoggingShell shell(system.shell, log_);
    SetupLog* log = app_.options.logPath.empty() ? nullptr : &log_;
    SetupServices services{system.files,   system.resources, system.registry, system.folders,
                           shell,          system.com,       system.security, log,
                           &system.holders};
    SetupDialog dialog(instance_, services, app_.paths, app_.platform);
    // Interactively /DIR= only proposes the folder of a new installation; the other switches
    // are for /S.
    dialog.logic().switches.folder = app_.options.install.folder;
    dialog.DoModal(nullptr);
    return dialog.logic().outcome;
  }

  SetupOutcome RunUnattended() override {
    Win32Services system;
    return RunUnattendedInstall(system.services, app_.paths, app_.options.install, log_);
  }

  SetupLog& Log() override { return log_; }

  // Not waited for: a second setup ends at once.
  InstanceLock LockInstance() override { return lock_.Acquire(0); }
  std::string_view LockHeld() override { return lock_.Held(); }

  // The first setup's dialog, else a window of the uninstaller (its question or its message):
  // the one in the install folder the registry records, since other products' uninstallers
  // have the same file name.
  bool ShowRunningSetup() override {
    HWND running = FindWindowW(L"#32770", L"Setup Corvane");
    if (running == nullptr) {
      Win32Registry registry;
      const std::string folder = ReadAppPath(registry, std::string(kMainProgram), "Path");
      if (IsAbsolutePath(folder)) {
        running = WindowOfProgram(
            ToWide(StripTrailingBackslash(folder) + "\\" + std::string(kUninstallerName)));
      }
    }
    if (running == nullptr) return false;
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
  }

 private:
  HINSTANCE instance_;
  SetupApp& app_;
  Win32LogFile log_;
  Win32InstanceLock lock_;
};

}  // namespace
}  // namespace corvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // First of all: links that a non-administrator made are not followed, where the system can.
  const bool redirectionGuarded = corvane::EnableRedirectionGuard();
  // Before anything can load a DLL: never from the setup's own folder or the current folder.
  corvane::HardenDllSearch();
  // No "insert a disk" or open-file error boxes: drive queries without medium fail quietly.
  // (SetErrorMode returns the previous mode; GetErrorMode would need Vista.)
  const UINT previousMode = SetErrorMode(0);
  SetErrorMode(previousMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  corvane::SetupApp app;
  app.options = corvane::ParseArguments(corvane::CommandArguments());
  app.redirectionGuarded = redirectionGuarded;
  corvane::Win32StartHost host(instance, app);
  corvane::Start(app, host);
  return corvane::ExitCodeFor(app.outcome);
}
