// The logging wrappers: each passes every call on to the service it wraps and writes one line
// per step that changes something, with its result ("delete C:\...\kvx.exe: deleted"). The
// setup's unattended run and /LOG, and the uninstaller, log through these same wrappers, so a
// step reads the same in every log. Queries are not logged: the steps built on them are.
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

// Files are logged when they are closed: what was written and whether their time was set.
class LoggingFileSystem final : public FileSystem {
 public:
  LoggingFileSystem(FileSystem& inner, SetupLog& log) : inner_(inner), log_(log) {}
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override;
  bool RemoveFile(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override;
  bool ReadSmallFile(const std::string& path, std::string& contents) override {
    return inner_.ReadSmallFile(path, contents);
  }
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override;
  bool LinkFile(const std::string& existing, const std::string& link) override;
  bool RemoveAtRestart(const std::string& path) override;
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override;
  std::uint64_t RandomNumber() override { return inner_.RandomNumber(); }
  bool HasAttributes(const std::string& path) override { return inner_.HasAttributes(path); }
  DriveType DriveTypeOf(const std::string& rootPath) override {
    return inner_.DriveTypeOf(rootPath);
  }
  CreateDirResult MakeDirectory(const std::string& path) override;

 private:
  FileSystem& inner_;
  SetupLog& log_;
};

// The folder guard's findings: each level held, made or refused, its owner, and the shut
// levels opened. File work inside the held folders is logged by LoggingFileSystem.
class LoggingFolderSecurity final : public FolderSecurity {
 public:
  LoggingFolderSecurity(FolderSecurity& inner, SetupLog& log) : inner_(inner), log_(log) {}
  PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override;

 private:
  FolderSecurity& inner_;
  SetupLog& log_;
};

// Names the keys it hands out, so that each line shows the whole key path. The registry code
// holds a few keys at a time (a chain of at most seven), so a small table is enough; a key
// beyond it is logged as "?". Values read and written are quoted (see the .cpp).
class LoggingRegistry final : public RegistryApi {
 public:
  LoggingRegistry(RegistryApi& inner, SetupLog& log) : inner_(inner), log_(log) {}
  Key LocalMachine() override { return localMachine_ = inner_.LocalMachine(); }
  Key CurrentUser() override { return currentUser_ = inner_.CurrentUser(); }
  long OpenKey(Key parent, const std::string& name, Key& result) override;
  long CreateKey(Key parent, const std::string& name, Key& result) override;
  long SetString(Key key, const std::string& name, const std::string& value) override;
  long SetDword(Key key, const std::string& name, std::uint32_t value) override;
  long DeleteKey(Key parent, const std::string& name) override;
  long QueryString(Key key, const std::string& name, std::string& value) override;
  void CloseKey(Key key) override;

 private:
  struct Slot {
    Key key = kNullKey;
    std::string name;
  };

  void Remember(Key key, const std::string& name);
  std::string_view NameOf(Key key) const;
  std::string PathOf(Key parent, const std::string& name) const;

  RegistryApi& inner_;
  SetupLog& log_;
  Key localMachine_ = kNullKey, currentUser_ = kNullKey;
  Slot names_[12];
};

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
