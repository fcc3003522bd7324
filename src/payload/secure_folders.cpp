#include "payload/secure_folders.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "payload/paths.h"

namespace corvane {
namespace {

// Rights that change a folder, what it holds or who may do so: write data / add file, append
// data / add subfolder, write extended attributes, delete child, write attributes, delete,
// write DAC, write owner, maximum allowed, generic all, generic write.
constexpr std::uint32_t kChangeRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 |
                                        0x00000100 | 0x00010000 | 0x00040000 | 0x00080000 |
                                        0x02000000 | 0x10000000 | 0x40000000;

bool IsTrustedSid(const std::string& sid) {
  return sid == kAdministratorsSid || sid == kLocalSystemSid || sid == kTrustedInstallerSid;
}

// The folder itself and the folders above it, outermost first, at most `count`. Stops at a
// drive ("C:") or where no parent is left.
std::vector<std::string> LevelsOf(const std::string& folder, int count) {
  std::vector<std::string> levels;
  std::string path = StripTrailingBackslash(folder);
  while (static_cast<int>(levels.size()) < count && !path.empty() && path.back() != ':') {
    levels.insert(levels.begin(), path);
    const std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos || cut == 0) break;
    path.resize(cut);
  }
  return levels;
}

std::string ParentOf(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool SameFolder(const std::string& a, const std::string& b) {
  const std::string x = StripTrailingBackslash(a);
  const std::string y = StripTrailingBackslash(b);
  return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](char l, char r) {
    return std::tolower(static_cast<unsigned char>(l)) ==
           std::tolower(static_cast<unsigned char>(r));
  });
}

// One level whose parent exists and is already guarded (or is above the guarded levels).
bool GuardLevel(FileSystem& fs, FolderSecurity& security, const std::string& level) {
  if (!fs.HasAttributes(level)) {
    if (!IsValidPath(level)) return false;
    switch (security.MakeProtectedDirectory(level)) {
      case CreateDirResult::Created:
        return true;
      case CreateDirResult::AlreadyExists:
        break;  // made by someone else in the meantime: checked like any existing folder
      case CreateDirResult::PathNotFound:
      case CreateDirResult::OtherError:
        return false;
    }
  }
  if (security.IsReparsePoint(level)) return false;
  FolderAccess access;
  if (security.ReadAccess(level, access) && IsAdministratorsOnly(access)) return true;
  return security.Protect(level);
}

}  // namespace

bool IsAdministratorsOnly(const FolderAccess& access) {
  if (!IsTrustedSid(access.owner) || !access.hasAccessList) return false;
  return std::all_of(access.entries.begin(), access.entries.end(), [](const AccessEntry& e) {
    if (!e.allow || (e.mask & kChangeRights) == 0 || IsTrustedSid(e.trustee)) return true;
    // Stands for whoever creates a child; only the administrators can.
    return e.inheritOnly && e.trustee == kCreatorOwnerSid;
  });
}

bool EnsureGuardedFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                         int levels) {
  const std::vector<std::string> guarded = LevelsOf(folder, levels);
  if (guarded.empty()) return false;
  const std::string base = ParentOf(guarded.front());
  if (!base.empty() && !EnsureFolder(fs, base)) return false;
  for (const std::string& level : guarded) {
    if (!GuardLevel(fs, security, level)) return false;
  }
  return true;
}

bool GuardInstallFolders(FileSystem& fs, FolderSecurity& security, const std::string& installFolder,
                         const std::string& defaultInstallFolder,
                         const std::string& commonDataFolder) {
  const int installLevels = SameFolder(installFolder, defaultInstallFolder) ? kProductLevels : 1;
  return EnsureGuardedFolder(fs, security, installFolder, installLevels) &&
         EnsureGuardedFolder(fs, security, commonDataFolder, kProductLevels);
}

bool EnsureUserFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                      int levels) {
  for (const std::string& level : LevelsOf(folder, levels)) {
    if (security.IsReparsePoint(level)) return false;
  }
  return EnsureFolder(fs, folder);
}

}  // namespace corvane
