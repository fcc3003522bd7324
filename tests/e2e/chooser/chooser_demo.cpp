// Opens the folder chooser on the folder given on the command line (default C:\) and writes
// the result to the file named by the second argument, if any: "OK <path>" or "CANCEL".
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "folderdlg/win32/folder_chooser_dialog.h"
#include "system/win32/app_message_box.h"
#include "system/win32/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::string path = argc > 1 ? corvane::FromWide(argv[1]) : std::string("C:\\");
  const bool ok = corvane::RunFolderChooser(
      nullptr, true, path, [](const std::string& text) { corvane::AppMessageBox(text, MB_OK); });
  if (argc > 2) {
    const std::string result = ok ? "OK " + path : std::string("CANCEL");
    HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, result.data(), static_cast<DWORD>(result.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  LocalFree(argv);
  return ok ? 0 : 1;
}
