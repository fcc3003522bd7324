// The setup's /LOG file: UTF-8, one line per call, each ending in CR LF.
#pragma once

#include <string>
#include <string_view>

#include "system/log.h"
#include "system/win32/handle.h"

namespace corvane {

class Win32LogFile final : public SetupLog {
 public:
  // Creates the file, or empties an older one that is a plain file with one name and no link.
  // With an empty path, or when the file cannot be created or is refused, the lines go nowhere:
  // the exit status still tells the outcome.
  explicit Win32LogFile(const std::string& path);

 protected:
  void WriteLine(std::string_view line) override;

 private:
  Handle file_;
};

}  // namespace corvane
