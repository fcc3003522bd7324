#include "payload/logging_wrappers.h"

#include <utility>

#include "payload/paths.h"
#include "payload/secure_folders.h"

namespace corvane {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A registry value in quotes. The value may come from anyone who can write to the key: control
// characters and quotes are written as \xNN, and so is a backslash that would read as the start
// of such an escape, so that every value ends at its closing quote and reads back unchanged.
std::string Quoted(std::string_view value) {
  std::string text = "\"";
  for (std::size_t k = 0; k < value.size(); ++k) {
    const auto c = static_cast<unsigned char>(value[k]);
    const bool escapeLike = c == '\\' && k + 1 < value.size() && (value[k + 1] | 0x20) == 'x';
    if (c < 0x20 || c == 0x7F || c == '"' || escapeLike) {
      text += "\\x";
      text += kHexDigits[c >> 4];
      text += kHexDigits[c & 0xF];
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + "\"";
}

const char* CreateResultText(CreateDirResult result) {
  switch (result) {
    case CreateDirResult::Created:
      return "created";
    case CreateDirResult::AlreadyExists:
      return "already exists";
    case CreateDirResult::PathNotFound:
      return "parent missing";
    case CreateDirResult::OtherError:
      return "failed";
  }
  return "failed";
}

// One line per file when it is closed: what was written and whether its time was set.
class LoggingOutputFile final : public OutputFile {
 public:
  LoggingOutputFile(std::unique_ptr<OutputFile> file, std::string path, SetupLog& log)
      : file_(std::move(file)), path_(std::move(path)), log_(log) {}
  ~LoggingOutputFile() override {
    const char* time = timeSet_ == 0  ? ""
                       : timeSet_ > 0 ? ", file time set"
                                      : ", file time not set";
    if (failed_) {
      log_.Line({"write ", path_, ": failed", time});
    } else if (written_ == 0) {
      log_.Line({"open for writing ", path_, ": ok, nothing written", time});
    } else {
      log_.Line({"write ", path_, ": ", std::to_string(written_), " bytes", time});
    }
  }
  LoggingOutputFile(const LoggingOutputFile&) = delete;
  LoggingOutputFile& operator=(const LoggingOutputFile&) = delete;

  bool Write(std::span<const std::uint8_t> bytes) override {
    const bool ok = file_->Write(bytes);
    if (ok) written_ += bytes.size();
    failed_ = failed_ || !ok;
    return ok;
  }
  bool SetLastWriteTime(std::uint64_t fileTime) override {
    const bool ok = file_->SetLastWriteTime(fileTime);
    timeSet_ = ok ? 1 : -1;
    return ok;
  }

 private:
  std::unique_ptr<OutputFile> file_;
  std::string path_;
  SetupLog& log_;
  std::size_t written_ = 0;
  bool failed_ = false;
  int timeSet_ = 0;  // 1 set, -1 failed, 0 not tried
};

// Queries (attributes, drive types) are not logged: the steps built on them are.
class LoggingFileSystem final : public FileSystem {
 public:
  LoggingFileSystem(FileSystem& inner, SetupLog& log) : inner_(inner), log_(log) {}
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override {
    auto file = inner_.OpenForWriting(path, share, mode);
    if (!file) {
      log_.Line({"open for writing ", path, ": failed"});
      return nullptr;
    }
    return std::make_unique<LoggingOutputFile>(std::move(file), path, log_);
  }
  bool RemoveFile(const std::string& path) override {
    const bool ok = inner_.RemoveFile(path);
    log_.Line({"delete ", path, ok ? ": deleted" : ": not deleted"});
    return ok;
  }
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override {
    auto held = inner_.HoldForReplacing(path);
    if (!held) log_.Line({"hold ", path, " for replacing: failed, in use"});
    return held;
  }
  bool ReadSmallFile(const std::string& path, std::string& contents) override {
    return inner_.ReadSmallFile(path, contents);
  }
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    const bool ok = inner_.RenameFile(from, to, replace);
    log_.Line({"rename ", from, " to ", to, ok ? ": ok" : ": failed"});
    return ok;
  }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    const bool ok = inner_.LinkFile(existing, link);
    log_.Line({"link ", link, " to ", existing, ok ? ": ok" : ": failed"});
    return ok;
  }
  bool RemoveAtRestart(const std::string& path) override {
    const bool ok = inner_.RemoveAtRestart(path);
    log_.Line({"delete ", path, " at the next restart: ", AtRestartText(ok)});
    return ok;
  }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
    const bool ok = inner_.ReplaceAtRestart(from, to);
    log_.Line(
        {"replace ", to, " with ", from, " at the next restart: ", ok ? "scheduled" : "failed"});
    return ok;
  }
  std::uint64_t RandomNumber() override { return inner_.RandomNumber(); }
  bool HasAttributes(const std::string& path) override { return inner_.HasAttributes(path); }
  DriveType DriveTypeOf(const std::string& rootPath) override {
    return inner_.DriveTypeOf(rootPath);
  }
  CreateDirResult MakeDirectory(const std::string& path) override {
    const CreateDirResult result = inner_.MakeDirectory(path);
    log_.Line({"create folder ", path, ": ", CreateResultText(result)});
    return result;
  }

 private:
  FileSystem& inner_;
  SetupLog& log_;
};

// The folder guard's findings: each level held, made or refused, its owner, and the shut
// levels opened. File work inside the held folders is logged by LoggingFileSystem.
class LoggingFolderSecurity final : public FolderSecurity {
 public:
  LoggingFolderSecurity(FolderSecurity& inner, SetupLog& log) : inner_(inner), log_(log) {}
  PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override {
    return Opened(inner_.OpenBase(path, pinned), StripTrailingBackslash(path), pinned, log_);
  }

 private:
  static PinResult Opened(PinResult result, const std::string& path,
                          std::unique_ptr<PinnedFolder>& pinned, SetupLog& log) {
    if (result == PinResult::Pinned) {
      pinned = std::make_unique<LoggingPin>(std::move(pinned), path, log);
    }
    log.Line({"folder ", path, ": ", PinResultText(result)});
    return result;
  }

  class LoggingPin final : public PinnedFolder {
   public:
    LoggingPin(std::unique_ptr<PinnedFolder> inner, std::string path, SetupLog& log)
        : inner_(std::move(inner)), path_(std::move(path)), log_(log) {}
    bool ReadAccess(FolderAccess& access) override {
      const bool ok = inner_->ReadAccess(access);
      if (!ok)
        log_.Line({"folder ", path_, ": owner and access list unreadable"});
      else
        log_.Line({"folder ", path_, ": owner ", access.owner});
      return ok;
    }
    bool InheritFromParent() override {
      const bool ok = inner_->InheritFromParent();
      log_.Line({"folder ", path_, ": access from the folder above: ", ok ? "done" : "failed"});
      return ok;
    }
    std::string FinalPath() override { return inner_->FinalPath(); }
    bool HoldsOnlyAdministratorsEntries() override {
      const bool ok = inner_->HoldsOnlyAdministratorsEntries();
      if (!ok) log_.Line({"folder ", path_, ": holds files or folders others made"});
      return ok;
    }
    PinResult OpenFolder(const std::string& name, std::unique_ptr<PinnedFolder>& pinned) override {
      return Opened(inner_->OpenFolder(name, pinned), path_ + "\\" + name, pinned, log_);
    }
    CreateDirResult MakeFolder(const std::string& name, NewFolder security,
                               std::unique_ptr<PinnedFolder>& pinned) override {
      const CreateDirResult result = inner_->MakeFolder(name, security, pinned);
      const std::string path = path_ + "\\" + name;
      log_.Line({"create folder ", path,
                 security == NewFolder::Shut ? " shut to all but administrators: " : ": ",
                 CreateResultText(result)});
      if (result == CreateDirResult::Created) {
        pinned = std::make_unique<LoggingPin>(std::move(pinned), path, log_);
      }
      return result;
    }
    std::unique_ptr<OutputFile> OpenFile(const std::string& name, ShareMode share,
                                         OpenMode mode) override {
      return inner_->OpenFile(name, share, mode);
    }
    bool Has(const std::string& name) override { return inner_->Has(name); }
    bool RemoveFile(const std::string& name) override { return inner_->RemoveFile(name); }
    bool RemoveFolder(const std::string& name) override {
      const bool ok = inner_->RemoveFolder(name);
      log_.Line({"remove folder ", path_, "\\", name, ok ? ": removed" : ": not removed"});
      return ok;
    }
    std::unique_ptr<HeldFile> HoldForReplacing(const std::string& name) override {
      return inner_->HoldForReplacing(name);
    }
    bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
      return inner_->RenameFile(from, to, replace);
    }
    bool LinkFile(const std::string& existing, const std::string& link) override {
      return inner_->LinkFile(existing, link);
    }
    bool ReadOwnFile(const std::string& name, std::string& contents) override {
      return inner_->ReadOwnFile(name, contents);
    }
    bool RemoveAtRestart(const std::string& name) override { return inner_->RemoveAtRestart(name); }
    bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
      return inner_->ReplaceAtRestart(from, to);
    }

   private:
    std::unique_ptr<PinnedFolder> inner_;
    std::string path_;
    SetupLog& log_;
  };

  FolderSecurity& inner_;
  SetupLog& log_;
};

// Names the keys it hands out, so that each line shows the whole key path. The registry code
// holds a few keys at a time (a chain of at most seven), so a small table is enough; a key
// beyond it is logged as "?".
class LoggingRegistry final : public RegistryApi {
 public:
  LoggingRegistry(RegistryApi& inner, SetupLog& log) : inner_(inner), log_(log) {}
  // A key that is not there is no failure for a look-up or a removal.
  static std::string KeyStatusText(long status) {
    return status == kRegistryNotFound ? "not found" : StatusText(status);
  }
  Key LocalMachine() override { return localMachine_ = inner_.LocalMachine(); }
  Key CurrentUser() override { return currentUser_ = inner_.CurrentUser(); }
  long OpenKey(Key parent, const std::string& name, Key& result) override {
    const long status = inner_.OpenKey(parent, name, result);
    const std::string path = PathOf(parent, name);
    if (result == kNullKey) {
      log_.Line({"registry open ", path, ": ", KeyStatusText(status)});
    }
    Remember(result, path);
    return status;
  }
  long CreateKey(Key parent, const std::string& name, Key& result) override {
    const long status = inner_.CreateKey(parent, name, result);
    const std::string path = PathOf(parent, name);
    log_.Line({"registry create ", path, ": ", StatusText(status)});
    if (status == 0) Remember(result, path);
    return status;
  }
  long SetString(Key key, const std::string& name, const std::string& value) override {
    const long status = inner_.SetString(key, name, value);
    log_.Line({"registry set ", NameOf(key), " [", name, "] = ", Quoted(value), ": ",
               StatusText(status)});
    return status;
  }
  long SetDword(Key key, const std::string& name, std::uint32_t value) override {
    const long status = inner_.SetDword(key, name, value);
    log_.Line({"registry set ", NameOf(key), " [", name, "] = ", std::to_string(value), ": ",
               StatusText(status)});
    return status;
  }
  long DeleteKey(Key parent, const std::string& name) override {
    const long status = inner_.DeleteKey(parent, name);
    log_.Line({"registry delete ", PathOf(parent, name), ": ", KeyStatusText(status)});
    return status;
  }
  long QueryString(Key key, const std::string& name, std::string& value) override {
    const long status = inner_.QueryString(key, name, value);
    if (status == 0) {
      log_.Line({"registry read ", NameOf(key), " [", name, "]: ", Quoted(value)});
    } else {
      log_.Line({"registry read ", NameOf(key), " [", name, "]: ", StatusText(status)});
    }
    return status;
  }
  void CloseKey(Key key) override {
    for (Slot& slot : names_) {
      if (slot.key == key) slot = Slot{};
    }
    inner_.CloseKey(key);
  }

 private:
  struct Slot {
    Key key = kNullKey;
    std::string name;
  };

  void Remember(Key key, const std::string& name) {
    if (key == kNullKey) return;
    for (Slot& slot : names_) {
      if (slot.key == kNullKey) {
        slot = Slot{key, name};
        return;
      }
    }
  }
  std::string_view NameOf(Key key) const {
    if (key == localMachine_) return "HKLM";
    if (key == currentUser_) return "HKCU";
    for (const Slot& slot : names_) {
      if (slot.key == key) return slot.name;
    }
    return "?";
  }
  std::string PathOf(Key parent, const std::string& name) const {
    std::string path(NameOf(parent));
    path += '\\';
    path += name;
    return path;
  }

  RegistryApi& inner_;
  SetupLog& log_;
  Key localMachine_ = kNullKey, currentUser_ = kNullKey;
  Slot names_[12];
};

void LogStart(SetupLog& log, const char* what, const std::string& path, const std::string& folder,
              ShellStart start) {
  const char* way = "";
  switch (start.way) {
    case StartWay::DesktopShell:
      way = "through the desktop shell, as the signed-in user";
      break;
    case StartWay::ShellUser:
      way = "the desktop shell did not answer, started as the user of its process";
      break;
    case StartWay::NotStarted:  // no shell process, or its token is not an ordinary user's
      way = "the desktop shell did not answer, not started by the elevated setup";
      break;
  }
  log.Line({what, " ", path, folder.empty() ? "" : " in ", folder, ": ", way,
            start.started || start.way == StartWay::NotStarted ? "" : ", failed"});
}

}  // namespace

std::string StatusText(long status) {
  if (status == 0) return "ok";
  std::string hex = "error 0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    hex += kHexDigits[(static_cast<unsigned long>(status) >> shift) & 0xF];
  return hex;
}

const char* AtRestartText(bool scheduled) {
  return scheduled ? "scheduled, a restart finishes the clean-up" : "failed";
}

std::unique_ptr<FileSystem> MakeLoggingFileSystem(FileSystem& inner, SetupLog& log) {
  return std::make_unique<LoggingFileSystem>(inner, log);
}

std::unique_ptr<FolderSecurity> MakeLoggingFolderSecurity(FolderSecurity& inner, SetupLog& log) {
  return std::make_unique<LoggingFolderSecurity>(inner, log);
}

std::unique_ptr<RegistryApi> MakeLoggingRegistry(RegistryApi& inner, SetupLog& log) {
  return std::make_unique<LoggingRegistry>(inner, log);
}

ShellStart LoggingShell::OpenPage(const std::string& address, WindowRef owner) {
  const ShellStart start = inner_.OpenPage(address, owner);
  LogStart(log_, "open", address, std::string(), start);
  return start;
}

ShellStart LoggingShell::Launch(const std::string& path, const std::string& folder, int show) {
  const ShellStart start = inner_.Launch(path, folder, show);
  LogStart(log_, "start", path, folder, start);
  return start;
}

}  // namespace corvane
