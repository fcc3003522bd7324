// Paths that the system keeps for this process and for open files.
#pragma once

#include <windows.h>

#include <string>

namespace corvane {

// The running program's own file, in full; empty when it cannot be read.
std::wstring ModulePath();

// The path of an open file or folder as the system spells it (GetFinalPathNameByHandleW),
// without its "\\?\" (or "\\?\UNC\") prefix; empty when it cannot be read.
std::wstring FinalPathOf(HANDLE file);

}  // namespace corvane
