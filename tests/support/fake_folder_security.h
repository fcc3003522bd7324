// In-memory FolderSecurity over a FakeFileSystem: reparse points, owners and access lists per
// folder, folders held, configurable failures, and a log of every call.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "payload/folder_security.h"
#include "payload/secure_folders.h"
#include "support/fake_file_system.h"

namespace corvane::testing {

class FakeFolderSecurity : public FolderSecurity {
 public:
  explicit FakeFolderSecurity(FakeFileSystem& fs) : fs_(fs) {}

  // Owned by Administrators; the system and Administrators may do anything, Users read.
  static FolderAccess Protected() {
    return FolderAccess{std::string(kAdministratorsSid),
                        true,
                        true,
                        {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                         {true, false, 0x1F01FF, std::string(kAdministratorsSid)},
                         {true, false, 0x1200A9, std::string(kUsersSid)}}};
  }
  // A folder an ordinary user made in a folder that lets users create subfolders.
  static FolderAccess UserOwned() {
    return FolderAccess{"S-1-5-21-1-2-3-1001",
                        true,
                        true,
                        {{true, false, 0x1F01FF, "S-1-5-21-1-2-3-1001"},
                         {true, false, 0x1200A9, std::string(kUsersSid)}}};
  }

  // --- set-up ---
  // The path becomes a reparse point (shown as a folder by the file system).
  void MakeReparsePoint(const std::string& path) {
    fs_.AddDirectory(path);
    reparse_.insert(Key(path));
  }
  // Access of a folder that the test set up (not one made by MakeDirectory); folders without
  // one read as Protected().
  void SetAccess(const std::string& path, FolderAccess access) { access_[Key(path)] = access; }
  // What folders made by MakeDirectory get from the folder above (Protected() unless set).
  void SetInheritedAccess(FolderAccess access) { inherited_ = access; }
  // The folder found at the path cannot be opened (one made there later can).
  void FailPin(const std::string& path) { failPin_.insert(Key(path)); }
  void FailProtect(const std::string& path) { failProtect_.insert(Key(path)); }
  // The handle of the folder resolves to another path (a link put in its place after it was
  // checked by name).
  void ResolveTo(const std::string& path, const std::string& finalPath) {
    finalPaths_[Key(path)] = finalPath;
  }

  // --- inspection ---
  int Held() const { return held_; }
  bool IsHeld(const std::string& path) const { return heldPaths_.count(Key(path)) != 0; }
  // The access the folder has now (what a pin reads).
  FolderAccess Access(const std::string& path) const { return AccessOf(path); }
  // Every call in order, as "op path" ("reparse", "read", "pin"). Changes of a list are also
  // written to the file system's log, in order with its calls ("protect", "inherit").
  const std::vector<std::string>& Log() const { return log_; }

  // --- FolderSecurity ---
  bool IsReparsePoint(const std::string& path) override {
    log_.push_back("reparse " + path);
    return reparse_.count(Key(path)) != 0;
  }
  PinResult Pin(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) override {
    log_.push_back("pin " + path);
    const std::string key = Key(path);
    if (fs_.FileExists(path)) return PinResult::NotAFolder;
    if (!fs_.DirectoryExists(path)) return PinResult::Missing;
    if (reparse_.count(key) && !fs_.MadeByCall(path)) return PinResult::ReparsePoint;
    if (failPin_.count(key) && !fs_.MadeByCall(path)) return PinResult::Failed;
    pinned = std::make_unique<FakePin>(*this, path);
    return PinResult::Pinned;
  }
  CreateDirResult MakeProtectedFolder(const std::string& path) override {
    const CreateDirResult result = fs_.MakeDirectory(path);
    if (result == CreateDirResult::Created) Change("protect", path, Protected());
    return result;
  }

 private:
  class FakePin final : public PinnedFolder {
   public:
    FakePin(FakeFolderSecurity& owner, std::string path)
        : owner_(owner), path_(std::move(path)), key_(Key(path_)) {
      ++owner_.held_;
      owner_.heldPaths_.insert(key_);
    }
    ~FakePin() override {
      --owner_.held_;
      owner_.heldPaths_.erase(key_);
    }
    FakePin(const FakePin&) = delete;
    FakePin& operator=(const FakePin&) = delete;
    bool ReadAccess(FolderAccess& access) override {
      access = owner_.AccessOf(path_);
      return true;
    }
    bool Protect() override {
      if (owner_.failProtect_.count(key_)) return false;
      owner_.Change("protect", path_, Protected());
      return true;
    }
    bool InheritFromParent() override {
      owner_.Change("inherit", path_, owner_.inherited_);
      return true;
    }
    std::string FinalPath() override {
      auto it = owner_.finalPaths_.find(key_);
      return it == owner_.finalPaths_.end() ? path_ : it->second;
    }

   private:
    FakeFolderSecurity& owner_;
    std::string path_, key_;
  };

  void Change(const std::string& op, const std::string& path, FolderAccess access) {
    changed_[Key(path)] = std::move(access);
    fs_.Note(op + " " + path);
  }
  static std::string Key(const std::string& path) { return FakeFileSystem::Key(path); }
  FolderAccess AccessOf(const std::string& path) const {
    if (auto it = changed_.find(Key(path)); it != changed_.end()) return it->second;
    if (fs_.MadeByCall(path)) return inherited_;
    auto it = access_.find(Key(path));
    return it == access_.end() ? Protected() : it->second;
  }

  FakeFileSystem& fs_;
  std::set<std::string> reparse_, failPin_, failProtect_, heldPaths_;
  std::map<std::string, FolderAccess> access_, changed_;
  std::map<std::string, std::string> finalPaths_;
  FolderAccess inherited_ = Protected();
  std::vector<std::string> log_;
  int held_ = 0;
};

}  // namespace corvane::testing
