#include "system/win32/app_message_box.h"

#include "system/message_box.h"
#include "system/win32/file_paths.h"
#include "system/win32/wide.h"

namespace corvane {

std::string AppTitle() { return TitleFromModulePath(FromWide(ModulePath())); }

int AppMessageBox(std::string_view text, UINT style) {
  const std::wstring caption = ToWide(AppTitle());
  const std::wstring body = ToWide(text);
  return MessageBoxW(GetActiveWindow(), body.c_str(), caption.c_str(), MessageBoxStyle(style));
}

}  // namespace corvane
