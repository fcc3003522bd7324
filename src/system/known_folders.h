// The known folder table: where the setup installs, keeps data, puts shortcuts and works.
#pragma once

#include <string>

#include "system/registry.h"

namespace corvane {

// What the set-up needs of the shell and file system.
class KnownFolderSource {
 public:
  virtual ~KnownFolderSource() = default;
  // SHGetSpecialFolderPathW with creation requested; empty when unavailable.
  virtual std::string SpecialFolder(int csidl) = 0;
  // GetTempPathW (ends with a backslash).
  virtual std::string TempPath() = 0;
  // The name FindFirstFileW finds for the path (its long name); empty when nothing is found.
  virtual std::string FindName(const std::string& path) = 0;
};

// Every folder entry ends with a backslash; helpFile names a file.
struct KnownFolders {
  std::string userData, commonData, desktop, defaultInstall, programs, commonPrograms,
      commonDesktop, pictures, documents, commonDocuments, commonStartup, startup, cdBurn,
      localData, lowData, work, tempPath, helpFile;
};

KnownFolders SetUpKnownFolders(KnownFolderSource& source, RegistryApi& registry,
                               const std::string& productFolderName, bool useLowDataFolder);

// C:\PROGRA~1\COMMON~1\ -> C:\Program Files\Common Files\ ; a component the lookup does not
// find is kept as given.
std::string ExpandLongPath(KnownFolderSource& source, const std::string& path);

}  // namespace corvane
