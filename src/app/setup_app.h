// The application object and its start-up: the platform check, then the setup dialog.
#pragma once

#include <string>
#include <string_view>

#include "app/setup_logic.h"

namespace corvane {

inline constexpr std::string_view kPlatformRefusal = "Only Windows 95, 98 or NT4.0";

// What Start needs of the system.
class StartHost {
 public:
  virtual ~StartHost() = default;
  // The platform identifier of the system's version structure.
  virtual unsigned long PlatformId() = 0;
  // An application message box with an OK button.
  virtual void ShowMessage(std::string_view text) = 0;
  // Runs the setup dialog modally; returns when it has ended.
  virtual void RunSetupDialog() = 0;
};

struct SetupApp {
  int platformKind = 0;  // 2 NT family, 1 Windows 95/98 family, 0 before Start
  GlobalPaths paths;
};

// 2 for the NT family, 1 for the 95/98 family, 0 for anything else.
int PlatformKindFor(unsigned long platformId);

// Always false: there is no message loop to run afterwards.
bool Start(SetupApp& app, StartHost& host);

// The application title: the module's file name without folder and extension.
std::string TitleFromModulePath(std::string_view modulePath);

// Message box style with the exclamation icon added when the caller named no icon and the
// buttons are OK, OK/Cancel, Yes/No or Yes/No/Cancel (the system's MB_* values).
unsigned MessageBoxStyle(unsigned style);

}  // namespace corvane
