#include "app/setup_app.h"

namespace corvane {

int PlatformKindFor(unsigned long platformId) {
  if (platformId & 2u) return 2;
  if (platformId & 1u) return 1;
  return 0;
}

bool Start(SetupApp& app, StartHost& host) {
  const int kind = PlatformKindFor(host.PlatformId());
  if (kind == 0) {
    host.ShowMessage(kPlatformRefusal);
    return false;
  }
  app.platformKind = kind;
  host.RunSetupDialog();
  return false;
}

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
