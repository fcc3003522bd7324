#include "system/win32/log_file.h"

#include <utility>
#include <vector>

#include "system/win32/file_paths.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

// The full long form of a path that exists, as the final path of an opened file is spelled.
std::wstring LongFullPath(const std::wstring& path) {
  std::vector<wchar_t> full(32768);
  DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return {};
  std::vector<wchar_t> longer(32768);
  length = GetLongPathNameW(full.data(), longer.data(), static_cast<DWORD>(longer.size()));
  if (length == 0 || length >= longer.size()) return std::wstring(full.data());
  return std::wstring(longer.data(), length);
}

}  // namespace

// The setup runs as administrator (unattended installs often as SYSTEM) while the log may be
// asked for in a folder others can write to. So the name is never followed: an existing file is
// opened as itself (a link at the name is refused before and after opening) and only emptied once
// it proved to be a plain file with a single name, and a missing one is created new, which fails
// on anything, a dangling link included, that appears at the name in between. Last, the opened
// file's own path must be the one asked for, which also catches a link in the folders above.
Win32LogFile::Win32LogFile(const std::string& path) {
  if (path.empty()) return;
  const std::wstring wide = ToWide(path);
  const DWORD named = GetFileAttributesW(wide.c_str());
  if (named != INVALID_FILE_ATTRIBUTES &&
      (named & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    return;
  }
  const bool created = named == INVALID_FILE_ATTRIBUTES;
  Handle file(CreateFileW(wide.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE,
                          FILE_SHARE_READ, nullptr, created ? CREATE_NEW : OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) return;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD again = GetFileAttributesW(wide.c_str());
  const bool plain = GetFileInformationByHandle(file.Get(), &info) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                     info.nNumberOfLinks == 1 && again != INVALID_FILE_ATTRIBUTES &&
                     !(again & FILE_ATTRIBUTE_REPARSE_POINT);
  const std::wstring final = plain ? FinalPathOf(file.Get()) : std::wstring();
  if (final.empty() ||
      CompareStringOrdinal(final.c_str(), -1, LongFullPath(wide).c_str(), -1, TRUE) != CSTR_EQUAL ||
      SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(file.Get())) {
    // A file made here through a link above it is taken away again, through this handle.
    if (created) {
      FILE_DISPOSITION_INFO remove{TRUE};
      SetFileInformationByHandle(file.Get(), FileDispositionInfo, &remove, sizeof remove);
    }
    return;
  }
  file_ = std::move(file);
}

// Written line by line, so that a log that an administrator reads while the install runs, or
// after it was stopped, is complete up to the last step.
void Win32LogFile::WriteLine(std::string_view line) {
  if (!file_.Valid()) return;
  std::string bytes(line);
  bytes += "\r\n";
  DWORD written = 0;
  WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace corvane
