#include "system/win32/app_message_box.h"

#include "system/message_box.h"
#include "system/win32/wide.h"

namespace corvane {

std::string AppTitle() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  path[n < MAX_PATH ? n : MAX_PATH] = L'\0';
  return TitleFromModulePath(FromWide(path));
}

int AppMessageBox(std::string_view text, UINT style) {
  const std::wstring caption = ToWide(AppTitle());
  const std::wstring body = ToWide(text);
  return MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), MessageBoxStyle(style));
}

}  // namespace corvane
