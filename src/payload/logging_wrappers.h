// The logging wrappers: each passes every call on to the service it wraps and writes a line
// for each step with its result ("delete C:\...\kvx.exe: deleted"). The setup's unattended run
// and /LOG, and the uninstaller, log through these same wrappers, so a step reads the same in
// every log. File queries (attributes, drive types) are not logged: the steps built on them are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "payload/file_system.h"
#include "payload/folder_security.h"
#include "system/log.h"
#include "system/registry.h"
#include "system/shell.h"

namespace corvane {

// A system call's status: "ok", or "error 0x" and eight hex digits.
std::string StatusText(long status);
// The result of a removal left to the next restart, for "delete <path> at the next restart: ".
const char* AtRestartText(bool scheduled);

// Files are logged when they are closed: what was written and whether their time was set.
std::unique_ptr<FileSystem> MakeLoggingFileSystem(FileSystem& inner, SetupLog& log);
// The folder guard's findings: each level held, made or refused, its owner, and the shut levels
// opened. File work inside the held folders is for MakeLoggingFileSystem.
std::unique_ptr<FolderSecurity> MakeLoggingFolderSecurity(FolderSecurity& inner, SetupLog& log);
// Each line names the whole key path; values read and written are quoted and escaped.
std::unique_ptr<RegistryApi> MakeLoggingRegistry(RegistryApi& inner, SetupLog& log);

// Everything passes through; each program or page started is logged with the way it started.
class LoggingShell final : public Shell {
 public:
  LoggingShell(Shell& inner, SetupLog& log) : inner_(inner), log_(log) {}
  long CreateShortcut(const std::string& target, const std::string& linkPath,
                      const std::string& description, const std::string& arguments) override {
    return inner_.CreateShortcut(target, linkPath, description, arguments);
  }
  ShellStart OpenPage(const std::string& address, WindowRef owner) override;
  ShellStart Launch(const std::string& path, const std::string& folder, int show) override;
  std::string RawVersionString(const std::string& name) override {
    return inner_.RawVersionString(name);
  }

 private:
  Shell& inner_;
  SetupLog& log_;
};

}  // namespace corvane
