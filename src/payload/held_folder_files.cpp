// The install's file operations, named by path as the file list names them, done relative to
// the held install and data folders: nothing below them is ever reached by a path walked again.
#include <memory>
#include <string>

#include "payload/secure_folders.h"
#include "system/text.h"

namespace corvane {
namespace {

class FolderFiles final : public FileSystem {
 public:
  FolderFiles(FileSystem& fs, FolderPins& pins) : fs_(fs), pins_(pins) {}

  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder == nullptr ? nullptr : folder->OpenFile(name, share, mode);
  }
  bool RemoveFile(const std::string& path) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder != nullptr && folder->RemoveFile(name);
  }
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder == nullptr ? nullptr : folder->HoldForReplacing(name);
  }
  // Only a file the administrators made: the working list decides what gets deleted.
  bool ReadSmallFile(const std::string& path, std::string& contents) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder != nullptr && folder->ReadOwnFile(name, contents);
  }
  // Both names in the same held folder.
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    std::string fromName, toName;
    PinnedFolder* folder = Resolve(from, fromName);
    return folder != nullptr && Resolve(to, toName) == folder &&
           folder->RenameFile(fromName, toName, replace);
  }
  bool LinkFile(const std::string& existing, const std::string& link) override {
    std::string existingName, linkName;
    PinnedFolder* folder = Resolve(existing, existingName);
    return folder != nullptr && Resolve(link, linkName) == folder &&
           folder->LinkFile(existingName, linkName);
  }
  bool RemoveAtRestart(const std::string& path) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder != nullptr && folder->RemoveAtRestart(name);
  }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
    std::string fromName, toName;
    PinnedFolder* folder = Resolve(from, fromName);
    return folder != nullptr && Resolve(to, toName) == folder &&
           folder->ReplaceAtRestart(fromName, toName);
  }
  std::uint64_t RandomNumber() override { return fs_.RandomNumber(); }
  bool HasAttributes(const std::string& path) override {
    std::string name;
    PinnedFolder* folder = Resolve(path, name);
    return folder != nullptr && folder->Has(name);
  }
  DriveType DriveTypeOf(const std::string& rootPath) override { return fs_.DriveTypeOf(rootPath); }
  // The install makes no folders by path.
  CreateDirResult MakeDirectory(const std::string&) override { return CreateDirResult::OtherError; }

 private:
  // The held folder that `path` lies in, directly, with the name in it; null for any other.
  PinnedFolder* Resolve(const std::string& path, std::string& name) {
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos) return nullptr;
    name = path.substr(cut + 1);
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of("/:") != std::string::npos) {
      return nullptr;
    }
    const std::string folder = path.substr(0, cut + 1);
    if (pins_.install != nullptr && SameText(folder, pins_.installPath)) return pins_.install;
    if (pins_.data != nullptr && SameText(folder, pins_.dataPath)) return pins_.data;
    return nullptr;
  }

  FileSystem& fs_;
  FolderPins& pins_;
};

}  // namespace

std::unique_ptr<FileSystem> HeldFolderFiles(FileSystem& fs, FolderPins& pins) {
  return std::make_unique<FolderFiles>(fs, pins);
}

}  // namespace corvane
