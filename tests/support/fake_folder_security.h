// In-memory FolderSecurity over a FakeFileSystem. Says what Windows would where Wine cannot:
// each folder is an object of its own (FakeFileSystem::DirId) with an owner and access list
// that stay with it when it is renamed; folders are held as objects; a folder made a mount
// point while held (possible on Windows while it is empty) refuses work relative to it, as
// NTFS does; files have owners and link counts. Every call is logged.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "payload/folder_security.h"
#include "payload/paths.h"
#include "payload/secure_folders.h"
#include "support/fake_file_system.h"

namespace corvane::testing {

class FakeFolderSecurity : public FolderSecurity {
 public:
  explicit FakeFolderSecurity(FakeFileSystem& fs) : fs_(fs) {}

  // What NewFolder::Shut gives: owner Administrators, protected, the system and
  // Administrators full control, Users read and run.
  static FolderAccess Protected() {
    return FolderAccess{std::string(kAdministratorsSid),
                        true,
                        true,
                        true,
                        {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                         {true, false, 0x1F01FF, std::string(kAdministratorsSid)},
                         {true, false, 0x1200A9, std::string(kUsersSid)}}};
  }
  // Program Files' own list, and what a folder made there by an administrator inherits.
  static FolderAccess SystemOwned() {
    FolderAccess a = Protected();
    a.owner = std::string(kTrustedInstallerSid);
    a.protectedList = false;
    a.entries.push_back({true, true, 0x10000000, std::string(kCreatorOwnerSid)});
    return a;
  }
  // A folder an ordinary user made in a folder that lets users create subfolders.
  static FolderAccess UserOwned() {
    return FolderAccess{"S-1-5-21-1-2-3-1001",
                        true,
                        true,
                        false,
                        {{true, false, 0x1F01FF, "S-1-5-21-1-2-3-1001"},
                         {true, false, 0x1200A9, std::string(kUsersSid)}}};
  }
  // What a folder an administrator makes below a drive's root inherits from it: Authenticated
  // Users may modify (delete included).
  static FolderAccess BelowDriveRoot() {
    FolderAccess a = SystemOwned();
    a.owner = std::string(kAdministratorsSid);
    a.entries.push_back({true, false, 0x1301BF, "S-1-5-11"});
    return a;
  }

  // --- set-up ---
  // The path becomes a reparse point (shown as a folder by the file system). On a folder that
  // is held, this is a mount point set on it through someone else's handle.
  void MakeReparsePoint(const std::string& path) {
    fs_.AddDirectory(path);
    reparse_.insert(fs_.DirId(path));
  }
  // Access of a folder that exists (stays with the folder when it is renamed).
  void SetAccess(const std::string& path, FolderAccess access) {
    fs_.AddDirectory(path);
    access_[fs_.DirId(path)] = std::move(access);
  }
  // What folders made with NewFolder::Inherited get (Protected() unless set).
  void SetInheritedAccess(FolderAccess access) { inherited_ = access; }
  // The folder found at the path cannot be opened (one made there later can).
  void FailPin(const std::string& path) { failPin_.insert(fs_.DirId(path)); }
  // The handle of the folder resolves to another path.
  void ResolveTo(const std::string& path, const std::string& finalPath) {
    finalPaths_[fs_.DirId(path)] = finalPath;
  }

  // Runs before every call, with its log entry (a competing process).
  std::function<void(const std::string&)> beforeCall;

  // --- inspection ---
  int Held() const { return static_cast<int>(held_.size()); }
  bool IsHeld(const std::string& path) const {
    const std::uint64_t id = fs_.DirId(path);
    return id != 0 && std::count(held_.begin(), held_.end(), id) != 0;
  }
  // The access the folder has now (what a pin reads).
  FolderAccess Access(const std::string& path) const { return AccessOf(fs_.DirId(path)); }
  // Every call in order, as "op path" ("base", "open", "make"). Changes of a list are also
  // written to the file system's log, in order with its calls ("inherit").
  const std::vector<std::string>& Log() const { return log_; }

  // --- FolderSecurity ---
  PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override {
    Record("base " + path);
    return Open(StripTrailingBackslash(path), pinned, true);
  }

 private:
  class FakePin final : public PinnedFolder {
   public:
    FakePin(FakeFolderSecurity& owner, std::string path, std::uint64_t id)
        : owner_(owner), path_(std::move(path)), id_(id) {
      owner_.held_.push_back(id_);
    }
    ~FakePin() override {
      auto& held = owner_.held_;
      held.erase(std::find(held.begin(), held.end(), id_));
    }
    FakePin(const FakePin&) = delete;
    FakePin& operator=(const FakePin&) = delete;

    bool ReadAccess(FolderAccess& access) override {
      access = owner_.AccessOf(id_);
      return true;
    }
    bool InheritFromParent() override {
      owner_.access_[id_] = owner_.inherited_;
      owner_.fs_.Note("inherit " + path_);
      return true;
    }
    std::string FinalPath() override {
      auto it = owner_.finalPaths_.find(id_);
      return it == owner_.finalPaths_.end() ? path_ : it->second;
    }
    bool HoldsOnlyAdministratorsEntries() override {
      if (!Usable()) return false;
      const auto& fs = owner_.fs_;
      for (const std::string& key : fs.KeysIn(path_)) {
        const FakeFileSystem::File* file = fs.FindFile(key);
        const std::uint64_t id = fs.DirId(key);
        const std::string owner = file != nullptr ? file->owner : owner_.AccessOf(id).owner;
        if (owner_.reparse_.count(id) || (owner != kAdministratorsSid && owner != kLocalSystemSid)) {
          return false;
        }
      }
      return true;
    }
    PinResult OpenFolder(const std::string& name, std::unique_ptr<PinnedFolder>& pinned) override {
      owner_.Record("open " + Child(name));
      if (!Usable() || !Plain(name)) return PinResult::Failed;
      return owner_.Open(Child(name), pinned, false);
    }
    CreateDirResult MakeFolder(const std::string& name, NewFolder security,
                               std::unique_ptr<PinnedFolder>& pinned) override {
      owner_.Record("make " + Child(name));
      if (!Usable() || !Plain(name)) return CreateDirResult::OtherError;
      const CreateDirResult result = owner_.fs_.MakeDirectory(Child(name));
      if (result != CreateDirResult::Created) return result;
      const std::uint64_t id = owner_.fs_.DirId(Child(name));
      owner_.access_[id] = security == NewFolder::Shut ? Protected() : owner_.inherited_;
      if (security == NewFolder::Shut) owner_.fs_.Note("shut " + Child(name));
      pinned = std::make_unique<FakePin>(owner_, Child(name), id);
      return result;
    }
    std::unique_ptr<OutputFile> OpenFile(const std::string& name, ShareMode share,
                                         OpenMode mode) override {
      if (!Usable() || !Plain(name)) return nullptr;
      return owner_.fs_.OpenForWriting(Child(name), share, mode);
    }
    bool Has(const std::string& name) override {
      return Usable() && Plain(name) && owner_.fs_.HasAttributes(Child(name));
    }
    bool RemoveFile(const std::string& name) override {
      return Usable() && Plain(name) && owner_.fs_.RemoveFile(Child(name));
    }
    bool RemoveFolder(const std::string& name) override {
      return Usable() && Plain(name) && !owner_.IsHeld(Child(name)) &&
             owner_.fs_.RemoveEmptyDirectory(Child(name));
    }
    std::unique_ptr<HeldFile> HoldForReplacing(const std::string& name) override {
      if (!Usable() || !Plain(name)) return nullptr;
      return owner_.fs_.HoldForReplacing(Child(name));
    }
    bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
      if (!Usable() || !Plain(from) || !Plain(to)) return false;
      // A folder someone holds cannot be renamed, by its holder neither.
      if (owner_.IsHeld(Child(from))) return false;
      return owner_.fs_.RenameFile(Child(from), Child(to), replace);
    }
    bool LinkFile(const std::string& existing, const std::string& link) override {
      return Usable() && Plain(existing) && Plain(link) &&
             owner_.fs_.LinkFile(Child(existing), Child(link));
    }
    bool ReadOwnFile(const std::string& name, std::string& contents) override {
      return Usable() && Plain(name) && OwnFile(name) &&
             owner_.fs_.ReadSmallFile(Child(name), contents);
    }
    bool RemoveAtRestart(const std::string& name) override {
      return Usable() && Plain(name) && OwnFile(name) &&
             owner_.fs_.RemoveAtRestart(Child(name));
    }
    bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
      return Usable() && Plain(from) && Plain(to) && OwnFile(from) &&
             owner_.fs_.ReplaceAtRestart(Child(from), Child(to));
    }

   private:
    std::string Child(const std::string& name) const { return path_ + "\\" + name; }
    // Work relative to a folder that was made a mount point fails.
    bool Usable() const { return owner_.reparse_.count(id_) == 0; }
    static bool Plain(const std::string& name) {
      return !name.empty() && name != "." && name != ".." &&
             name.find_first_of("\\/:") == std::string::npos;
    }
    bool OwnFile(const std::string& name) const {
      const FakeFileSystem::File* file = owner_.fs_.FindFile(Child(name));
      return file != nullptr && owner_.fs_.LinkCount(Child(name)) == 1 &&
             (file->owner == kAdministratorsSid || file->owner == kLocalSystemSid);
    }

    FakeFolderSecurity& owner_;
    std::string path_;
    std::uint64_t id_;
  };

  void Record(const std::string& entry) {
    if (beforeCall) beforeCall(entry);
    log_.push_back(entry);
  }
  PinResult Open(const std::string& path, std::unique_ptr<PinnedFolder>& pinned, bool follow) {
    if (fs_.FileExists(path)) return PinResult::NotAFolder;
    const std::uint64_t id = fs_.DirId(path);
    if (id == 0) return PinResult::Missing;
    if (!follow && reparse_.count(id)) return PinResult::ReparsePoint;
    if (failPin_.count(id)) return PinResult::Failed;
    pinned = std::make_unique<FakePin>(*this, path, id);
    return PinResult::Pinned;
  }
  FolderAccess AccessOf(std::uint64_t id) const {
    auto it = access_.find(id);
    return it == access_.end() ? SystemOwned() : it->second;
  }

  FakeFileSystem& fs_;
  std::set<std::uint64_t> reparse_, failPin_;
  std::map<std::uint64_t, FolderAccess> access_;
  std::map<std::uint64_t, std::string> finalPaths_;
  FolderAccess inherited_ = Protected();
  std::vector<std::string> log_;
  std::vector<std::uint64_t> held_;
};

}  // namespace corvane::testing
