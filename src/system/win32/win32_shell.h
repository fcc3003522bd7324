// Shell on the shell-link object, the desktop shell's ShellExecute (ShellExecuteW where there is
// no desktop shell) and the version-information library.
#pragma once

#include <windows.h>

#include <string>

#include "system/shell.h"

namespace corvane {

class Win32Shell : public Shell {
 public:
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override;
  ShellStart ShellOpen(const std::string& path, const std::string& folder,
                       WindowRef owner) override;
  ShellStart Launch(const std::string& path, const std::string& folder) override;
  std::string RawVersionString(const std::string& name) override;

 private:
  // Through the desktop shell when one answers in time, else ShellExecuteW from here.
  static ShellStart Start(const std::wstring& file, const std::wstring& folder, int show,
                          HWND owner);
};

}  // namespace corvane
