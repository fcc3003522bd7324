#include "system/win32/win32_known_folders.h"

#include <windows.h>

#include <shlobj.h>

#include "system/win32/wide.h"

namespace corvane {
namespace {
constexpr DWORD kPathUnits = 261;
}

std::string Win32KnownFolderSource::SpecialFolder(int csidl) {
  // The result is not examined: an unavailable folder leaves the zeroed buffer empty.
  wchar_t buffer[kPathUnits] = {};
  SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE);
  buffer[kPathUnits - 1] = L'\0';
  return FromWide(buffer);
}

std::string Win32KnownFolderSource::NativeProgramFiles(bool common) {
  wchar_t buffer[kPathUnits] = {};
  const DWORD n = GetEnvironmentVariableW(common ? L"CommonProgramW6432" : L"ProgramW6432",
                                          buffer, kPathUnits);
  if (n == 0 || n >= kPathUnits) return {};
  return FromWide(std::wstring_view(buffer, n));
}

std::string Win32KnownFolderSource::TempPath() {
  wchar_t buffer[kPathUnits] = {};
  const DWORD n = GetTempPathW(kPathUnits, buffer);
  // 0 is failure; a larger count than the buffer is the size it would have needed.
  if (n == 0 || n >= kPathUnits) return {};
  return FromWide(std::wstring_view(buffer, n));
}

std::string Win32KnownFolderSource::FindName(const std::string& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(ToWide(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  FindClose(search);
  found.cFileName[MAX_PATH - 1] = L'\0';
  return FromWide(found.cFileName);
}

}  // namespace corvane
