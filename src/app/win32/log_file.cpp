#include "app/win32/log_file.h"

#include "system/win32/wide.h"

namespace corvane {

Win32LogFile::Win32LogFile(const std::string& path) {
  if (path.empty()) return;
  file_ = CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
}

Win32LogFile::~Win32LogFile() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

// Written line by line, so that a log that an administrator reads while the install runs, or
// after it was stopped, is complete up to the last step.
void Win32LogFile::WriteLine(std::string_view line) {
  if (file_ == INVALID_HANDLE_VALUE) return;
  std::string bytes(line);
  bytes += "\r\n";
  DWORD written = 0;
  WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace corvane
