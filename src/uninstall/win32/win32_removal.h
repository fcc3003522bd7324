// RemovalFileSystem on handles: an open folder is a handle, and everything below it is opened
// relative to that handle (NtCreateFile with a root directory), never by its path.
#pragma once

#include "uninstall/uninstall_logic.h"

namespace corvane {

class Win32RemovalFileSystem final : public RemovalFileSystem {
 public:
  FolderOpen OpenBase(const std::string& path, Folder& folder) override;
  FolderOpen OpenFolder(Folder parent, const std::string& name, Folder& folder) override;
  RemoveResult RemoveFile(Folder folder, const std::string& name) override;
  RemoveResult RemoveFolder(Folder folder) override;
  void Close(Folder folder) override;
  std::string PathOf(Folder folder) override;
  bool IsThisProgram(Folder folder, const std::string& name) override;
  bool RemoveAtRestart(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& rootPath) override;
};

}  // namespace corvane
