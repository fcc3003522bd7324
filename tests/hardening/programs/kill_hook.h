// Test builds of the setup only (CorvaneSetupKill): a FileSystem that ends the process, as a
// kill would, right after the n-th successful call of one kind. CORVANE_KILL_AFTER names it:
// "link:1" (the first backup name made), "rename:6", "remove:3". Nothing runs after the call:
// no destructor, no clean-up, no message.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/file_system.h"

namespace corvane {

class KillingFileSystem final : public FileSystem {
 public:
  explicit KillingFileSystem(FileSystem& inner) : inner_(inner) {
    char value[64] = {};
    const DWORD n = GetEnvironmentVariableA("CORVANE_KILL_AFTER", value, sizeof(value));
    if (n == 0 || n >= sizeof(value)) return;
    const char* colon = std::strchr(value, ':');
    if (colon == nullptr) return;
    kind_.assign(value, static_cast<std::size_t>(colon - value));
    remaining_ = std::atoi(colon + 1);
  }

  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override {
    return inner_.OpenForWriting(path, share, mode);
  }
  bool RemoveFile(const std::string& path) override {
    return Counted("remove", inner_.RemoveFile(path));
  }
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override {
    return inner_.HoldForReplacing(path);
  }
  bool ReadSmallFile(const std::string& path, std::string& contents) override {
    return inner_.ReadSmallFile(path, contents);
  }
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    return Counted("rename", inner_.RenameFile(from, to, replace));
  }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    return Counted("link", inner_.LinkFile(existing, link));
  }
  bool RemoveAtRestart(const std::string& path) override { return inner_.RemoveAtRestart(path); }
  std::uint64_t RandomNumber() override { return inner_.RandomNumber(); }
  bool HasAttributes(const std::string& path) override { return inner_.HasAttributes(path); }
  DriveType DriveTypeOf(const std::string& rootPath) override {
    return inner_.DriveTypeOf(rootPath);
  }
  CreateDirResult MakeDirectory(const std::string& path) override {
    return inner_.MakeDirectory(path);
  }

 private:
  bool Counted(const char* kind, bool ok) {
    if (ok && kind_ == kind && --remaining_ == 0) TerminateProcess(GetCurrentProcess(), 99);
    return ok;
  }

  FileSystem& inner_;
  std::string kind_;
  int remaining_ = 0;
};

}  // namespace corvane
