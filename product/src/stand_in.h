// The body shared by the product's stand-in programs.
#pragma once

#include <windows.h>

// Logs the start and returns when CORVANE_START_LOG is set; otherwise shows a window titled
// `title` that reads `text` until it is closed. Returns the process exit code.
int RunStandIn(HINSTANCE instance, int show, const wchar_t* title, const wchar_t* text);
