// In-memory FolderSecurity over a FakeFileSystem: reparse points, owners and access lists per
// folder, configurable failures, and a log of every call.
#pragma once

#include <map>
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

  // What MakeProtectedDirectory and Protect leave on a folder.
  static FolderAccess Protected() {
    return FolderAccess{std::string(kAdministratorsSid),
                        true,
                        {{true, false, 0x1F01FF, std::string(kLocalSystemSid)},
                         {true, false, 0x1F01FF, std::string(kAdministratorsSid)},
                         {true, false, 0x1200A9, std::string(kUsersSid)}}};
  }
  // A folder an ordinary user made in a folder that lets users create subfolders.
  static FolderAccess UserOwned() {
    return FolderAccess{"S-1-5-21-1-2-3-1001",
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
  // Folders without an access list of their own read as Protected().
  void SetAccess(const std::string& path, FolderAccess access) { access_[Key(path)] = access; }
  void FailRead(const std::string& path) { failRead_.insert(Key(path)); }
  void FailProtect(const std::string& path) { failProtect_.insert(Key(path)); }

  // --- inspection ---
  // Created protected, or taken over by Protect.
  bool Guarded(const std::string& path) const { return guarded_.count(Key(path)) != 0; }
  // Every call in order, as "op path" ("reparse", "read", "mkdir", "protect").
  const std::vector<std::string>& Log() const { return log_; }

  // --- FolderSecurity ---
  bool IsReparsePoint(const std::string& path) override {
    log_.push_back("reparse " + path);
    return reparse_.count(Key(path)) != 0;
  }
  bool ReadAccess(const std::string& path, FolderAccess& access) override {
    log_.push_back("read " + path);
    if (failRead_.count(Key(path)) || !fs_.DirectoryExists(path)) return false;
    auto it = access_.find(Key(path));
    access = it == access_.end() ? Protected() : it->second;
    return true;
  }
  CreateDirResult MakeProtectedDirectory(const std::string& path) override {
    log_.push_back("mkdir " + path);
    const CreateDirResult result = fs_.MakeDirectory(path);
    if (result == CreateDirResult::Created) Take(path);
    return result;
  }
  bool Protect(const std::string& path) override {
    log_.push_back("protect " + path);
    const std::string key = Key(path);
    if (reparse_.count(key) || failProtect_.count(key) || !fs_.DirectoryExists(path)) return false;
    Take(path);
    return true;
  }

 private:
  static std::string Key(const std::string& path) { return FakeFileSystem::Key(path); }
  void Take(const std::string& path) {
    access_[Key(path)] = Protected();
    guarded_.insert(Key(path));
  }

  FakeFileSystem& fs_;
  std::set<std::string> reparse_, failRead_, failProtect_, guarded_;
  std::map<std::string, FolderAccess> access_;
  std::vector<std::string> log_;
};

}  // namespace corvane::testing
