#include "system/win32/win32_known_folders.h"

#include <windows.h>

#include <shlobj.h>

#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {
constexpr DWORD kPathUnits = 261;
}  // namespace

std::string Win32KnownFolderSource::SpecialFolder(int csidl) {
  // The result is not examined: an unavailable folder leaves the zeroed buffer empty.
  wchar_t buffer[kPathUnits] = {};
  SHGetSpecialFolderPathW(nullptr, buffer, csidl, TRUE);
  buffer[kPathUnits - 1] = L'\0';
  return FromWide(buffer);
}

std::string Win32KnownFolderSource::NativeProgramFiles(bool common) {
  // The 64-bit registry view names the system's own folders; a 32-bit process reads it with
  // KEY_WOW64_64KEY (ignored on 32-bit Windows, where the plain values are the only folders).
  // Not the ProgramW6432 variables: an elevated process gets its environment partly from the
  // user, who can set them.
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Out()) != ERROR_SUCCESS) {
    return {};
  }
  // Windows 7 and later record the W6432 values; Wine records only the plain ones, which in
  // the 64-bit view are the same folders.
  const wchar_t* const names[] = {common ? L"CommonW6432Dir" : L"ProgramW6432Dir",
                                  common ? L"CommonFilesDir" : L"ProgramFilesDir"};
  for (const wchar_t* name : names) {
    wchar_t buffer[kPathUnits] = {};
    DWORD bytes = sizeof(buffer);
    if (RegGetValueW(key.Get(), nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) ==
            ERROR_SUCCESS &&
        buffer[0] != L'\0') {
      return FromWide(buffer);
    }
  }
  return {};
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
  const FindHandle search(FindFirstFileW(ToWide(path).c_str(), &found));
  if (!search.Valid()) return {};
  found.cFileName[MAX_PATH - 1] = L'\0';
  return FromWide(found.cFileName);
}

}  // namespace corvane
