// Path rules and folder creation. Lengths are counted in UTF-16 code units. Folder strings
// follow the convention in system/path_strings.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"
#include "system/path_strings.h"

namespace corvane {

// Status codes of CreateFolderTree (Windows error numbers of the same meaning).
inline constexpr int kFolderOk = 0;
inline constexpr int kFolderAccessDenied = 5;
inline constexpr int kFolderPathTooLong = 24;
inline constexpr int kFolderBadPathname = 161;

bool IsValidName(const std::string& component);
// A drive letter, colon and backslash ("C:\..."), or a UNC server and share
// ("\\server\share..."). Relative, drive-relative and rooted paths ("\Corvane") are not:
// they would name a folder that depends on the process's current drive or folder.
bool IsAbsolutePath(const std::string& path);
bool IsValidPath(const std::string& path);
bool PathExists(FileSystem& fs, const std::string& path);
bool FolderExists(FileSystem& fs, std::string path);
int CreateFolderTree(FileSystem& fs, std::string path);
bool EnsureFolder(FileSystem& fs, std::string path);
// `length` random characters from a-z and 0-9 (names compare without regard to case).
std::string RandomName(FileSystem& fs, std::size_t length);

}  // namespace corvane
