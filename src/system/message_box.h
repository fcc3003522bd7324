// The rules of the programs' message boxes: the caption and the icon.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The application title: the module's file name without folder and extension.
std::string TitleFromModulePath(std::string_view modulePath);

// Message box style with the exclamation icon added when the caller named no icon and the
// buttons are OK, OK/Cancel, Yes/No or Yes/No/Cancel (the system's MB_* values).
unsigned MessageBoxStyle(unsigned style);

}  // namespace corvane
