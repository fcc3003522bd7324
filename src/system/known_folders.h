// The known folder table: where the setup installs, keeps data, puts shortcuts and works.
#pragma once

#include <string>

#include "system/registry.h"

namespace corvane {

// CSIDL numbers of the shell's special folders.
inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPrograms = 2;
inline constexpr int kCsidlPersonal = 5;
inline constexpr int kCsidlStartup = 7;
inline constexpr int kCsidlCommonPrograms = 23;
inline constexpr int kCsidlCommonStartup = 24;
inline constexpr int kCsidlCommonDesktopDirectory = 25;
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlLocalAppData = 28;
inline constexpr int kCsidlCommonAppData = 35;
inline constexpr int kCsidlWindows = 36;
inline constexpr int kCsidlSystem = 37;
inline constexpr int kCsidlProgramFiles = 38;
inline constexpr int kCsidlMyPictures = 39;
inline constexpr int kCsidlProfile = 40;
inline constexpr int kCsidlProgramFilesX86 = 42;
inline constexpr int kCsidlProgramFilesCommon = 43;
inline constexpr int kCsidlProgramFilesCommonX86 = 44;
inline constexpr int kCsidlCommonDocuments = 46;
inline constexpr int kCsidlCdBurnArea = 59;

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
  // The 64-bit system's own Program Files folder, or its Common Files, which a 32-bit program
  // on 64-bit Windows cannot name by CSIDL (those give the "(x86)" folders): read from the
  // 64-bit registry view. Empty where there is none.
  virtual std::string NativeProgramFiles(bool common) = 0;
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
