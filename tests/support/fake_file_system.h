// In-memory FileSystem for host tests: Windows-like path rules (case-insensitive, '\\'
// separators, a trailing backslash names the same folder), configurable failures, and a log of
// every call so that tests can check order and arguments.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "payload/file_system.h"

namespace corvane::testing {

class FakeFileSystem : public FileSystem {
 public:
  struct File {
    std::vector<std::uint8_t> bytes;
    std::optional<std::uint64_t> lastWriteTime;
    std::string owner = "S-1-5-32-544";  // who made it (Administrators unless set)
    std::uint64_t node = 0;              // the file itself: every hard link to it shares it
  };
  struct OpenCall {
    std::string path;
    ShareMode share;
    OpenMode mode;
  };

  // --- set-up ---
  // Adds the folder and every folder above it (the drive root included).
  void AddDirectory(const std::string& path) {
    std::string key = Key(path);
    while (true) {
      dirs_.insert(key);
      if (!ids_.count(key)) ids_[key] = ++nextId_;
      const std::string parent = ParentKey(key);
      if (parent.empty() || parent == key) break;
      key = parent;
    }
  }
  // Adds a file (and its folders) with the given contents.
  void AddFile(const std::string& path, std::vector<std::uint8_t> bytes = {}) {
    const std::string parent = ParentKey(Key(path));
    if (!parent.empty()) AddDirectory(parent);
    files_[Key(path)] = File{std::move(bytes), std::nullopt, "S-1-5-32-544", ++nextId_};
  }
  // The file was made by this account (a string SID).
  void SetFileOwner(const std::string& path, const std::string& sid) {
    files_.at(Key(path)).owner = sid;
  }
  void SetDriveType(const std::string& root, DriveType type) { drives_[Key(root)] = type; }
  // The open of this path fails (as for a file that another process holds open).
  void FailOpen(const std::string& path) { failOpen_.insert(Key(path)); }
  void FailWrite(const std::string& path) { failWrite_.insert(Key(path)); }
  void FailSetTime(const std::string& path) { failSetTime_.insert(Key(path)); }
  void FailRemove(const std::string& path) { failRemove_.insert(Key(path)); }
  // Renames from or to this path fail (a file that another process holds open).
  void FailRename(const std::string& path) { failRename_.insert(Key(path)); }
  // Another process holds the file open without delete sharing: it cannot be held for
  // replacing, renamed, replaced or deleted, under this name or any hard link made to it.
  void HoldOpen(const std::string& path) { heldByOther_.insert(Key(path)); }
  // The program holding `path` ends: it opens and is replaced as any file.
  void Release(const std::string& path) {
    heldByOther_.erase(Key(path));
    failOpen_.erase(Key(path));
  }
  // Runs before every call, with the log entry of that call (a competing process).
  std::function<void(const std::string&)> beforeCall;
  // The volume has no hard links: LinkFile fails.
  void NoHardLinks() { noHardLinks_ = true; }
  // Where RandomNumber's values come from (by default a fixed sequence without repeats).
  std::function<std::uint64_t()> random;
  // MakeDirectory on this path reports `result` without creating anything.
  void ForceMakeDirectory(const std::string& path, CreateDirResult result) {
    forcedMkdir_[Key(path)] = result;
  }

  // --- inspection ---
  const File* FindFile(const std::string& path) const {
    auto it = files_.find(Key(path));
    return it == files_.end() ? nullptr : &it->second;
  }
  bool FileExists(const std::string& path) const { return FindFile(path) != nullptr; }
  bool DirectoryExists(const std::string& path) const { return dirs_.count(Key(path)) != 0; }
  // The folder itself: made, it gets a number no other folder had; moved, it keeps it. 0 when
  // there is no folder of that name.
  std::uint64_t DirId(const std::string& path) const {
    auto it = ids_.find(Key(path));
    return it == ids_.end() ? 0 : it->second;
  }
  // How many names the file has (hard links); 0 when there is no file of that name.
  int LinkCount(const std::string& path) const {
    const File* file = FindFile(path);
    if (file == nullptr) return 0;
    return static_cast<int>(std::count_if(files_.begin(), files_.end(), [&](const auto& f) {
      return f.second.node == file->node;
    }));
  }
  // Made by MakeDirectory (not set up by the test, nor moved here).
  bool MadeByCall(const std::string& path) const { return made_.count(Key(path)) != 0; }
  // Paths given to RemoveAtRestart.
  const std::set<std::string>& RemovedAtRestart() const { return atRestart_; }
  std::size_t FileCount() const { return files_.size(); }
  int OpenHandles() const { return openHandles_; }
  // Every call in order, as "op path" ("open", "write", "settime", "close", "remove",
  // "rename from>to", "link from>to", "hold", "read", "attr", "drive", "mkdir").
  const std::vector<std::string>& Log() const { return log_; }
  const std::vector<OpenCall>& Opens() const { return opens_; }
  // Whether the log holds a call of this kind ("mkdir", "rename", ...).
  bool Called(const std::string& op) const {
    return std::any_of(log_.begin(), log_.end(),
                       [&](const std::string& e) { return e.rfind(op + " ", 0) == 0; });
  }
  // Adds an entry to the log (what a double beside this one did, in order with these calls).
  void Note(const std::string& entry) { log_.push_back(entry); }
  void ClearLog() {
    log_.clear();
    opens_.clear();
  }

  // What lies directly in the folder, files and folders, as keys (lower-cased), sorted.
  std::vector<std::string> KeysIn(const std::string& folder) const {
    const std::string prefix = Key(folder) + "\\";
    auto direct = [&](const std::string& k) {
      return k.rfind(prefix, 0) == 0 && k.find('\\', prefix.size()) == std::string::npos;
    };
    std::vector<std::string> keys;
    for (const auto& [key, file] : files_) {
      if (direct(key)) keys.push_back(key);
    }
    for (const std::string& key : dirs_) {
      if (direct(key)) keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  // Every file's path (lower-cased), sorted.
  std::vector<std::string> FileKeys() const {
    std::vector<std::string> keys;
    for (const auto& [key, file] : files_) keys.push_back(key);
    return keys;
  }

  // --- FileSystem ---
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override {
    Record("open " + path);
    opens_.push_back(OpenCall{path, share, mode});
    const std::string key = Key(path);
    if (failOpen_.count(key) || dirs_.count(key) || !ParentExists(key)) return nullptr;
    const bool exists = files_.count(key) != 0;
    if (mode == OpenMode::OpenExisting && !exists) return nullptr;
    const bool createNew = mode == OpenMode::CreateNew || mode == OpenMode::CreateNewGone;
    if (createNew && exists) return nullptr;
    File& f = files_[key];
    if (!exists) f.node = ++nextId_;
    if (mode == OpenMode::CreateAlways) f.bytes.clear();
    ++openHandles_;
    return std::make_unique<FakeOutputFile>(*this, path, mode == OpenMode::CreateNewGone);
  }

  bool RemoveFile(const std::string& path) override {
    Record("remove " + path);
    const std::string key = Key(path);
    if (failRemove_.count(key) || heldByOther_.count(key)) return false;
    return files_.erase(key) != 0;
  }

  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override {
    Record("hold " + path);
    const std::string key = Key(path);
    if (!files_.count(key) || heldByOther_.count(key)) return nullptr;
    ++openHandles_;
    return std::make_unique<FakeHeldFile>(*this);
  }

  bool ReadSmallFile(const std::string& path, std::string& contents) override {
    Record("read " + path);
    auto it = files_.find(Key(path));
    if (it == files_.end()) return false;
    contents.assign(it->second.bytes.begin(), it->second.bytes.end());
    return true;
  }

  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    Record("rename " + from + ">" + to);
    const std::string f = Key(from), t = Key(to);
    if (failRename_.count(f) || failRename_.count(t) || heldByOther_.count(f) ||
        heldByOther_.count(t)) {
      return false;
    }
    if (dirs_.count(t) || !ParentExists(t) || (files_.count(t) && !replace)) return false;
    if (dirs_.count(f)) {
      if (replace || files_.count(t)) return false;
      MoveTree(f, t);
      return true;
    }
    if (!files_.count(f)) return false;
    File moved = std::move(files_[f]);
    files_.erase(f);
    files_[t] = std::move(moved);
    return true;
  }

  bool LinkFile(const std::string& existing, const std::string& link) override {
    Record("link " + existing + ">" + link);
    const std::string e = Key(existing), l = Key(link);
    if (noHardLinks_ || !files_.count(e) || files_.count(l) || dirs_.count(l)) return false;
    files_[l] = files_[e];  // nothing writes to either name afterwards: a copy looks the same
    if (heldByOther_.count(e)) heldByOther_.insert(l);
    return true;
  }

  bool RemoveAtRestart(const std::string& path) override {
    Record("remove-at-restart " + path);
    atRestart_.insert(Key(path));
    return true;
  }
  // Recorded; nothing changes until the test calls Restart.
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
    Record("replace-at-restart " + to + " with " + from);
    if (!files_.count(Key(from))) return false;
    replaceAtRestart_.emplace_back(Key(from), Key(to));
    return true;
  }
  // The system starting again: the replacements arranged are made, in order.
  void Restart() {
    for (const auto& [from, to] : replaceAtRestart_) {
      if (!files_.count(from)) continue;
      files_[to] = files_[from];
      files_.erase(from);
      heldByOther_.erase(to);
    }
    replaceAtRestart_.clear();
  }

  std::uint64_t RandomNumber() override {
    if (random) return random();
    return next_ += 0x9E3779B97F4A7C15ull;
  }

  bool HasAttributes(const std::string& path) override {
    Record("attr " + path);
    const std::string key = Key(path);
    // A file named with a trailing backslash is not found, a folder is.
    if (files_.count(key)) return path.empty() || path.back() != '\\';
    return dirs_.count(key) != 0;
  }

  DriveType DriveTypeOf(const std::string& rootPath) override {
    Record("drive " + rootPath);
    auto it = drives_.find(Key(rootPath));
    return it == drives_.end() ? DriveType::NoRootDir : it->second;
  }

  CreateDirResult MakeDirectory(const std::string& path) override {
    Record("mkdir " + path);
    const std::string key = Key(path);
    if (auto it = forcedMkdir_.find(key); it != forcedMkdir_.end()) return it->second;
    if (dirs_.count(key) || files_.count(key)) return CreateDirResult::AlreadyExists;
    if (key.size() == 3) {  // a drive root is there or not, as the drive table says
      auto drive = drives_.find(key);
      const bool there = drive != drives_.end() && drive->second != DriveType::NoRootDir;
      return there ? CreateDirResult::AlreadyExists : CreateDirResult::OtherError;
    }
    if (!ParentExists(key)) return CreateDirResult::PathNotFound;
    dirs_.insert(key);
    made_.insert(key);
    ids_[key] = ++nextId_;
    return CreateDirResult::Created;
  }

  // Removes an empty folder (what the folder double does through a held handle).
  bool RemoveEmptyDirectory(const std::string& path) {
    Record("rmdir " + path);
    const std::string key = Key(path);
    const std::string prefix = key + "\\";
    auto inside = [&](const std::string& k) { return k.rfind(prefix, 0) == 0; };
    if (!dirs_.count(key) || std::any_of(files_.begin(), files_.end(),
                                         [&](const auto& f) { return inside(f.first); }) ||
        std::any_of(dirs_.begin(), dirs_.end(), inside)) {
      return false;
    }
    dirs_.erase(key);
    made_.erase(key);
    ids_.erase(key);
    return true;
  }

  // Lower-cased, one form per folder: "c:\" for a root, no trailing backslash otherwise.
  static std::string Key(const std::string& path) {
    std::string k = path;
    std::transform(k.begin(), k.end(), k.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (k.size() > 3 && k.back() == '\\') k.pop_back();
    if (k.size() == 2 && k[1] == ':') k.push_back('\\');
    return k;
  }

 private:
  void Record(const std::string& entry) {
    if (beforeCall) beforeCall(entry);
    log_.push_back(entry);
  }

  class FakeHeldFile : public HeldFile {
   public:
    explicit FakeHeldFile(FakeFileSystem& fs) : fs_(fs) {}
    ~FakeHeldFile() override { --fs_.openHandles_; }

   private:
    FakeFileSystem& fs_;
  };

  class FakeOutputFile : public OutputFile {
   public:
    FakeOutputFile(FakeFileSystem& fs, std::string path, bool goneOnClose)
        : fs_(fs), path_(std::move(path)), goneOnClose_(goneOnClose) {}
    ~FakeOutputFile() override {
      fs_.log_.push_back("close " + path_);
      --fs_.openHandles_;
      if (goneOnClose_) fs_.files_.erase(Key(path_));
    }
    bool Write(std::span<const std::uint8_t> bytes) override {
      fs_.log_.push_back("write " + path_);
      const std::string key = Key(path_);
      if (fs_.failWrite_.count(key)) return false;
      auto& data = fs_.files_[key].bytes;
      if (data.size() < pos_ + bytes.size()) data.resize(pos_ + bytes.size());
      std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(pos_));
      pos_ += bytes.size();
      return true;
    }
    bool SetLastWriteTime(std::uint64_t fileTime) override {
      fs_.log_.push_back("settime " + path_);
      const std::string key = Key(path_);
      if (fs_.failSetTime_.count(key)) return false;
      fs_.files_[key].lastWriteTime = fileTime;
      return true;
    }

   private:
    FakeFileSystem& fs_;
    std::string path_;
    bool goneOnClose_;
    std::size_t pos_ = 0;
  };

  static std::string ParentKey(const std::string& key) {
    if (key.size() <= 3) return std::string();  // a root has no parent
    const auto slash = key.rfind('\\');
    if (slash == std::string::npos) return std::string();
    return Key(key.substr(0, slash));
  }
  // A folder and everything in it to a new name.
  void MoveTree(const std::string& from, const std::string& to) {
    auto moved = [&](const std::string& key) {
      return key == from || key.rfind(from + "\\", 0) == 0;
    };
    std::map<std::string, File> files;
    for (auto& [key, file] : files_) files[moved(key) ? to + key.substr(from.size()) : key] = file;
    files_ = std::move(files);
    std::set<std::string> dirs, made;
    for (const std::string& key : dirs_)
      dirs.insert(moved(key) ? to + key.substr(from.size()) : key);
    for (const std::string& key : made_) {
      if (!moved(key)) made.insert(key);
    }
    dirs_ = std::move(dirs);
    made_ = std::move(made);
    std::map<std::string, std::uint64_t> ids;
    for (const auto& [key, id] : ids_) ids[moved(key) ? to + key.substr(from.size()) : key] = id;
    ids_ = std::move(ids);
  }
  bool ParentExists(const std::string& key) const {
    const std::string parent = ParentKey(key);
    return parent.empty() || dirs_.count(parent) != 0;
  }

  std::map<std::string, File> files_;
  std::set<std::string> dirs_, made_, atRestart_;
  std::vector<std::pair<std::string, std::string>> replaceAtRestart_;
  std::map<std::string, std::uint64_t> ids_;
  std::uint64_t nextId_ = 0;
  bool noHardLinks_ = false;
  std::uint64_t next_ = 0;
  std::map<std::string, DriveType> drives_;
  std::set<std::string> failOpen_, failWrite_, failSetTime_, failRemove_, failRename_, heldByOther_;
  std::map<std::string, CreateDirResult> forcedMkdir_;
  std::vector<std::string> log_;
  std::vector<OpenCall> opens_;
  int openHandles_ = 0;
};

}  // namespace corvane::testing
