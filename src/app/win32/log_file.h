// The unattended install's log file: UTF-8, one line per call, each ending in CR LF.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/unattended.h"

namespace corvane {

class Win32LogFile final : public SetupLog {
 public:
  // Creates the file, or empties an older one that is a plain file with one name and no link.
  // With an empty path, or when the file cannot be created or is refused, the lines go nowhere:
  // the exit status still tells the outcome.
  explicit Win32LogFile(const std::string& path);
  ~Win32LogFile() override;
  Win32LogFile(const Win32LogFile&) = delete;
  Win32LogFile& operator=(const Win32LogFile&) = delete;

 protected:
  void WriteLine(std::string_view line) override;

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

}  // namespace corvane
