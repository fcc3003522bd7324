// KnownFolderSource on the shell's special folders and the file system's lookups.
#pragma once

#include "system/known_folders.h"

namespace corvane {

class Win32KnownFolderSource : public KnownFolderSource {
 public:
  std::string SpecialFolder(int csidl) override;
  std::string TempPath() override;
  std::string FindName(const std::string& path) override;
  std::string NativeProgramFiles(bool common) override;
};

}  // namespace corvane
