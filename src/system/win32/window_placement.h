// Where the program's dialogs open.
#pragma once

#include <windows.h>

namespace corvane {

// Centres a top-level window on the screen's work area: where a dialog whose template sits at
// (0, 0) opens.
void CenterOnScreen(HWND window);

}  // namespace corvane
