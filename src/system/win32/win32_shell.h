// Shell on the shell-link object, ShellExecuteW and the version-information library.
#pragma once

#include "system/shell.h"

namespace corvane {

class Win32Shell : public Shell {
 public:
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override;
  std::intptr_t ShellOpen(const std::string& path, WindowRef owner) override;
  std::intptr_t Launch(const std::string& path) override;
  std::string RawVersionString(const std::string& name) override;
};

}  // namespace corvane
