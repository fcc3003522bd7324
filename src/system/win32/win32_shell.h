// Shell on the shell-link object, the desktop shell's ShellExecute (or, where it does not
// answer, the token of its process) and the version-information library.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "system/shell.h"

namespace corvane {

class Win32StartWays final : public StartWays {
 public:
  Desktop AskDesktop(const std::string& file, const std::string& folder, int show) override;
  std::uint32_t ShellProcessId() override;
  std::unique_ptr<ShellProcess> OpenShellProcess(std::uint32_t processId) override;
};

class Win32Shell : public Shell {
 public:
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override;
  ShellStart OpenPage(const std::string& address, WindowRef owner) override;
  ShellStart Launch(const std::string& path, const std::string& folder, int show) override;
  std::string RawVersionString(const std::string& name) override;

 private:
  Win32StartWays ways_;
};

}  // namespace corvane
