// The application message box: caption is the setup's own file name without extension, owner
// the active window, the exclamation icon added when the caller names none.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace corvane {

// The application title, from the running module's file name.
std::string AppTitle();

// MessageBoxW with the application's caption; returns the button pressed (IDOK, IDYES, ...).
int AppMessageBox(std::string_view text, UINT style);

}  // namespace corvane
