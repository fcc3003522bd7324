// The setup program's entry: error mode, the application object, Start.
#include <windows.h>

#include "app/setup_app.h"
#include "app/win32/app_message_box.h"
#include "app/win32/com_apartment.h"
#include "app/win32/setup_dialog.h"
#include "payload/win32/module_resources.h"
#include "payload/win32/win32_file_system.h"
#include "system/win32/system_library.h"
#include "system/win32/win32_known_folders.h"
#include "system/win32/win32_registry.h"
#include "system/win32/win32_shell.h"

namespace corvane {
namespace {

class Win32StartHost final : public StartHost {
 public:
  Win32StartHost(HINSTANCE instance, SetupApp& app) : instance_(instance), app_(app) {}

  unsigned long PlatformId() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return 0;
    return info.dwPlatformId;
  }

  void ShowMessage(std::string_view text) override { AppMessageBox(text, MB_OK); }

  void RunSetupDialog() override {
    Win32FileSystem files;
    ModuleResources resources;
    Win32Registry registry;
    Win32KnownFolderSource folders;
    Win32Shell shell;
    Win32ComApartment com;
    SetupServices services{files, resources, registry, folders, shell, com};
    SetupDialog dialog(instance_, services, app_.paths, app_.platformKind);
    dialog.DoModal(nullptr);
  }

 private:
  HINSTANCE instance_;
  SetupApp& app_;
};

}  // namespace
}  // namespace corvane

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: never from the setup's own folder or the current folder.
  corvane::HardenDllSearch();
  // No "insert a disk" or open-file error boxes: drive queries without medium fail quietly.
  // (SetErrorMode returns the previous mode; GetErrorMode would need Vista.)
  const UINT previousMode = SetErrorMode(0);
  SetErrorMode(previousMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  corvane::SetupApp app;
  corvane::Win32StartHost host(instance, app);
  corvane::Start(app, host);
  return 0;
}
