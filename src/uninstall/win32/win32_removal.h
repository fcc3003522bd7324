// RemovalFileSystem on the wide file API: one system call per operation.
#pragma once

#include "uninstall/uninstall_logic.h"

namespace corvane {

class Win32RemovalFileSystem final : public RemovalFileSystem {
 public:
  RemoveResult RemoveFile(const std::string& path) override;
  RemoveResult RemoveFolder(const std::string& path) override;
  bool RemoveAtRestart(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& rootPath) override;
};

}  // namespace corvane
