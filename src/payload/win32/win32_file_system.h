// FileSystem on the Windows file API: one wide system call per operation.
#pragma once

#include "payload/file_system.h"

namespace corvane {

class Win32FileSystem : public FileSystem {
 public:
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override;
  bool HasAttributes(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& rootPath) override;
  CreateDirResult MakeDirectory(const std::string& path) override;
};

}  // namespace corvane
