#include "system/message_box.h"

namespace corvane {

std::string TitleFromModulePath(std::string_view modulePath) {
  const auto slash = modulePath.find_last_of("\\/:");
  std::string_view name =
      slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

unsigned MessageBoxStyle(unsigned style) {
  constexpr unsigned kTypeMask = 0x0Fu, kIconMask = 0xF0u, kIconExclamation = 0x30u;
  constexpr unsigned kOk = 0, kOkCancel = 1, kYesNoCancel = 3, kYesNo = 4;
  const unsigned buttons = style & kTypeMask;
  if ((style & kIconMask) == 0 &&
      (buttons == kOk || buttons == kOkCancel || buttons == kYesNoCancel || buttons == kYesNo)) {
    style |= kIconExclamation;
  }
  return style;
}

}  // namespace corvane
