// A fresh folder under the temporary folder for one test, removed with its files afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "system/win32/wide.h"

namespace corvane::testing {

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

class ScratchFolder {
 public:
  // `leaf` is appended to the temporary folder (UTF-8, may hold several levels).
  explicit ScratchFolder(const std::string& leaf) {
    wchar_t tmp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, tmp);
    root_ = std::wstring(tmp, n) + L"corvane-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter_++);
    CreateDirectoryW(root_.c_str(), nullptr);
    path_ = root_;
    std::wstring rest = ToWide(leaf);
    std::size_t start = 0;
    while (start < rest.size()) {
      std::size_t end = rest.find(L'\\', start);
      if (end == std::wstring::npos) end = rest.size();
      path_ += L"\\" + rest.substr(start, end - start);
      CreateDirectoryW(path_.c_str(), nullptr);
      start = end + 1;
    }
  }
  ~ScratchFolder() { RemoveTree(root_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder as UTF-8 with a trailing backslash.
  std::string Path() const { return FromWide(path_) + "\\"; }
  bool Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  static inline int counter_ = 0;
  std::wstring root_;
  std::wstring path_;
};

// Read with the system's own call, apart from the code under test.
inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::vector<std::uint8_t> data;
  HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return data;
  LARGE_INTEGER size;
  if (GetFileSizeEx(h, &size)) {
    data.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!data.empty() &&
        !ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr)) {
      data.clear();
    }
    data.resize(got);
  }
  CloseHandle(h);
  return data;
}

inline bool WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  HANDLE h = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

// Last-write time as 100 ns ticks since 1601, or 0 when it cannot be read.
inline std::uint64_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace corvane::testing
