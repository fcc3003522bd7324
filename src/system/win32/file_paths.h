// Paths that the system keeps for this process and for open files, and the bytes of a file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corvane {

// The running program's own file, in full; empty when it cannot be read.
std::wstring ModulePath();

// The path of an open file or folder as the system spells it (GetFinalPathNameByHandleW),
// without its "\\?\" (or "\\?\UNC\") prefix; empty when it cannot be read.
std::wstring FinalPathOf(HANDLE file);

// Reads the whole of a file just opened (1 byte to 64 MB, such as a program); false when it is
// empty, larger, or cannot be read whole.
bool ReadWholeFile(HANDLE file, std::vector<char>& bytes);

}  // namespace corvane
