// Paths that the system keeps for this process and for open files, an open file's attributes,
// and the bytes of a file.
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

// True when the last error of a failed open by path says that nothing has the path: the file
// or a folder on the way is not there.
bool LastErrorIsMissing();

// The attributes of an open file or folder, read through its handle (and with `links`, its
// number of hard links); INVALID_FILE_ATTRIBUTES when they cannot be read.
DWORD AttributesOf(HANDLE file, DWORD* links = nullptr);

// Reads the whole of a file just opened (1 byte to 64 MB, such as a program); false when it is
// empty, larger, or cannot be read whole.
bool ReadWholeFile(HANDLE file, std::vector<char>& bytes);

// Reads a small file just opened (at most 64 KB, one read call); false when it cannot be read
// or is larger.
bool ReadSmallContents(HANDLE file, std::string& contents);

}  // namespace corvane
