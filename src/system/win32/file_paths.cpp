#include "system/win32/file_paths.h"

#include <vector>

namespace corvane {

std::wstring ModulePath() {
  // Long enough for any path the system can start a program from.
  std::vector<wchar_t> buffer(32768);
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return n > 0 && n < buffer.size() ? std::wstring(buffer.data(), n) : std::wstring();
}

std::wstring FinalPathOf(HANDLE file) {
  std::vector<wchar_t> buffer(1024);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
      if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
      return path;
    }
    buffer.resize(length + 1);
  }
  return {};
}

bool LastErrorIsMissing() {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

DWORD AttributesOf(HANDLE file, DWORD* links) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return INVALID_FILE_ATTRIBUTES;
  if (links != nullptr) *links = info.nNumberOfLinks;
  return info.dwFileAttributes;
}

bool ReadWholeFile(HANDLE file, std::vector<char>& bytes) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > (64 << 20)) {
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  return ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
}

bool ReadSmallContents(HANDLE file, std::string& contents) {
  constexpr DWORD kLimit = 64 * 1024;
  contents.assign(kLimit + 1, '\0');
  DWORD read = 0;
  if (!ReadFile(file, contents.data(), kLimit + 1, &read, nullptr) || read > kLimit) return false;
  contents.resize(read);
  return true;
}

}  // namespace corvane
