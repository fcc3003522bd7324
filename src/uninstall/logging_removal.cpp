#include "uninstall/logging_removal.h"

#include <map>
#include <string>

#include "payload/logging_wrappers.h"

namespace corvane {
namespace {

const char* RemoveResultText(RemoveResult result) {
  switch (result) {
    case RemoveResult::Removed:
      return "removed";
    case RemoveResult::Missing:
      return "not there";
    case RemoveResult::InUse:
      return "in use";
    case RemoveResult::Failed:
      return "failed";
  }
  return "failed";
}

// A folder is named by the path it was opened by. An open is logged when it fails (a missing
// level means nothing of the product is there); the steps inside an open folder are logged.
class LoggingRemoval final : public RemovalFileSystem {
 public:
  LoggingRemoval(RemovalFileSystem& inner, SetupLog& log) : inner_(inner), log_(log) {}

  FolderOpen OpenBase(const std::string& path, Folder& folder) override {
    const FolderOpen opened = inner_.OpenBase(path, folder);
    return Opened(opened, path, folder);
  }
  FolderOpen OpenFolder(Folder parent, const std::string& name, Folder& folder) override {
    const FolderOpen opened = inner_.OpenFolder(parent, name, folder);
    return Opened(opened, paths_[parent] + name + "\\", folder);
  }
  RemoveResult RemoveFile(Folder folder, const std::string& name) override {
    const RemoveResult result = inner_.RemoveFile(folder, name);
    log_.Line({"delete ", paths_[folder], name, ": ", RemoveResultText(result)});
    return result;
  }
  // Only an empty folder goes: any other result keeps it.
  RemoveResult RemoveFolder(Folder folder) override {
    const RemoveResult result = inner_.RemoveFolder(folder);
    log_.Line({"remove folder ", paths_[folder],
               result == RemoveResult::Removed ? ": removed" : ": kept, not empty"});
    paths_.erase(folder);
    return result;
  }
  void Close(Folder folder) override {
    paths_.erase(folder);
    inner_.Close(folder);
  }
  std::string PathOf(Folder folder) override { return inner_.PathOf(folder); }
  bool IsThisProgram(Folder folder, const std::string& name) override {
    return inner_.IsThisProgram(folder, name);
  }
  bool RemoveAtRestart(const std::string& path) override {
    const bool ok = inner_.RemoveAtRestart(path);
    log_.Line({"delete ", path, " at the next restart: ", AtRestartText(ok)});
    return ok;
  }
  DriveType DriveTypeOf(const std::string& rootPath) override {
    return inner_.DriveTypeOf(rootPath);
  }

 private:
  FolderOpen Opened(FolderOpen opened, const std::string& path, Folder folder) {
    if (opened == FolderOpen::Opened) {
      paths_[folder] = path;
    } else {
      log_.Line({"open folder ", path,
                 opened == FolderOpen::Missing   ? ": not there"
                 : opened == FolderOpen::Refused ? ": refused, a link or not a folder"
                                                 : ": failed"});
    }
    return opened;
  }

  RemovalFileSystem& inner_;
  SetupLog& log_;
  std::map<Folder, std::string> paths_;  // with a trailing backslash
};

}  // namespace

std::unique_ptr<RemovalFileSystem> MakeLoggingRemoval(RemovalFileSystem& inner, SetupLog& log) {
  return std::make_unique<LoggingRemoval>(inner, log);
}

}  // namespace corvane
