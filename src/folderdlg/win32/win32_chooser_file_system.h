// ChooserFileSystem on the wide drive and directory API: one system call per operation.
#pragma once

#include "folderdlg/chooser_platform.h"

namespace corvane {

class Win32ChooserFileSystem : public ChooserFileSystem {
 public:
  DriveType DriveTypeOf(const std::string& rootPath) override;
  bool VolumeName(const std::string& rootPath, std::string& name) override;
  std::unique_ptr<DirEnumeration> Enumerate(const std::string& pattern) override;
  bool FreeSpace(const std::string& rootPath, DiskFreeSpace& space) override;
  bool SameName(const std::string& a, const std::string& b) override;
};

}  // namespace corvane
