#include "payload/secure_folders.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "payload/paths.h"
#include "system/text.h"

namespace corvane {
namespace {

// Rights that change a folder, what it holds or who may do so: write data / add file, append
// data / add subfolder, write extended attributes, delete child, write attributes, delete,
// write DAC, write owner, maximum allowed, generic all, generic write.
constexpr std::uint32_t kChangeRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 |
                                        0x00000100 | 0x00010000 | 0x00040000 | 0x00080000 |
                                        0x02000000 | 0x10000000 | 0x40000000;
// Rights that let someone remove or replace the folder or what it holds, or give himself any
// other right: delete child, delete, write DAC, write owner, maximum allowed, generic all.
constexpr std::uint32_t kReplaceRights =
    0x00000040 | 0x00010000 | 0x00040000 | 0x00080000 | 0x02000000 | 0x10000000;

bool IsTrustedSid(const std::string& sid) {
  return sid == kAdministratorsSid || sid == kLocalSystemSid || sid == kTrustedInstallerSid;
}

// Where the system stores no owners, the owner it reports and that owner's entry stand for no
// one in particular; only the other entries tell whether strangers may change the folder.
bool IsTrusted(const FolderAccess& access, const std::string& sid) {
  return IsTrustedSid(sid) || (!access.ownerStored && sid == access.owner);
}

bool OnlyTrustedMay(const FolderAccess& access, std::uint32_t rights) {
  if (!IsTrusted(access, access.owner) || !access.hasAccessList) return false;
  return std::all_of(access.entries.begin(), access.entries.end(), [&](const AccessEntry& e) {
    if (!e.allow || (e.mask & rights) == 0 || IsTrusted(access, e.trustee)) return true;
    // Stands for whoever creates a child; only the administrators can.
    return e.inheritOnly && e.trustee == kCreatorOwnerSid;
  });
}

using Check = bool (*)(const FolderAccess&);

// The folder itself and the folders above it, outermost first, at most `count`. Stops at a
// drive ("C:") or where no parent is left.
std::vector<std::string> LevelsOf(const std::string& folder, int count) {
  std::vector<std::string> levels;
  std::string path = folder;
  while (!path.empty() && path.back() == '\\') path.pop_back();  // "X\\" is the folder X
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
  return SameText(StripTrailingBackslash(a), StripTrailingBackslash(b));
}

// Creates a missing level: with the security it inherits, or `shut` (administrators only).
// False when it cannot be created.
bool MakeLevel(FileSystem& fs, FolderSecurity& security, const std::string& level, bool shut,
               bool& made) {
  if (!IsValidPath(level)) return false;
  switch (shut ? security.MakeProtectedFolder(level) : fs.MakeDirectory(level)) {
    case CreateDirResult::Created:
      made = true;
      return true;
    case CreateDirResult::AlreadyExists:
      return true;  // made by someone else in the meantime: checked like any existing folder
    case CreateDirResult::PathNotFound:
    case CreateDirResult::OtherError:
      break;
  }
  return false;
}

// Pins the level and checks it; the pin is kept only when it passes. `shut` (when not null)
// tells whether the level is administrators-only.
bool PinAndCheck(FolderSecurity& security, FolderPins& pins, const std::string& level,
                 PinResult& result, Check check, bool* shut = nullptr) {
  std::unique_ptr<PinnedFolder> pin;
  result = security.Pin(level, pin);
  FolderAccess access;
  if (result != PinResult::Pinned || !pin->ReadAccess(access) || !check(access)) return false;
  if (shut != nullptr) *shut = IsAdministratorsOnly(access);
  pins.held.push_back(std::move(pin));
  return true;
}

// A level that may hold more than this product's files: checked, never changed; made only
// when missing and `mayCreate`, then shut when `shut`.
bool GuardSharedLevel(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                      const std::string& level, bool mayCreate, Check check, bool shut) {
  PinResult result;
  if (PinAndCheck(security, pins, level, result, check)) return true;
  bool made = false;
  if (result != PinResult::Missing || !mayCreate || !MakeLevel(fs, security, level, shut, made)) {
    return false;
  }
  if (!PinAndCheck(security, pins, level, result, check)) return false;
  if (made && shut) pins.shut.push_back(pins.held.back().get());
  return true;
}

// Renames whatever has the level's name to a new name beside it; the contents are kept.
bool MoveAside(FileSystem& fs, const std::string& level) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string aside = level + std::string(kMovedAsideMark) + RandomName(fs, 8);
    if (fs.HasAttributes(aside)) continue;
    if (fs.RenameFile(level, aside, false)) return true;
    if (!fs.HasAttributes(aside)) return false;  // not a collision: the rename itself failed
  }
  return false;
}

// The product's own default folder: made when missing (shut, when `shut`); one that fails the
// check (made by someone else, open to others, or a file) is moved aside and made afresh; a
// link there fails. A folder the guard has just made and that still fails got its access from
// above: then it fails. With `shut`, a folder found shut (left so by a run that failed) is
// opened after the install like one made now.
bool GuardOwnLevel(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                   const std::string& level, Check check, bool shut) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    PinResult result;
    bool found = false;
    if (PinAndCheck(security, pins, level, result, check, &found)) {
      if (shut && found) pins.shut.push_back(pins.held.back().get());
      return true;
    }
    if (result == PinResult::Missing) {
      bool made = false;
      if (!MakeLevel(fs, security, level, shut, made)) return false;
      if (PinAndCheck(security, pins, level, result, check, &found)) {
        if (shut && found) pins.shut.push_back(pins.held.back().get());
        return true;
      }
      if (made || result == PinResult::Missing) return false;
    }
    // A link is never moved: Wine 8 renames a symbolic link's target rather than the link,
    // which would move some other folder.
    if (result == PinResult::ReparsePoint || !MoveAside(fs, level)) return false;
  }
  return false;
}

// The system's own folder above the checked levels (Program Files, ProgramData).
bool EnsureBase(FileSystem& fs, const std::vector<std::string>& levels) {
  if (levels.empty()) return false;
  const std::string base = ParentOf(levels.front());
  return base.empty() || EnsureFolder(fs, base);
}

// `inner` is `outer` or lies below it.
bool Within(const std::string& inner, const std::string& outer) {
  const std::string in = StripTrailingBackslash(inner) + "\\";
  const std::string out = StripTrailingBackslash(outer) + "\\";
  return in.size() >= out.size() && SameFolder(in.substr(0, out.size()), out);
}

// A previous installation outside the default layout, installed over in place. The lists of
// the folders above do not matter: each is held from the drive root down, so none can be
// renamed or replaced by a link while the install runs, and the install folder itself is
// protected through its own handle before anything is written into it.
bool GuardPreviousInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                                const std::string& installFolder) {
  const std::vector<std::string> levels = LevelsOf(installFolder, 1 << 15);
  if (levels.empty()) return false;
  for (const std::string& level : levels) {
    std::unique_ptr<PinnedFolder> pin;
    PinResult result = security.Pin(level, pin);
    if (result == PinResult::Missing) {
      bool made = false;
      if (!MakeLevel(fs, security, level, false, made)) return false;
      result = security.Pin(level, pin);
    }
    if (result != PinResult::Pinned) return false;
    pins.held.push_back(std::move(pin));
  }
  PinnedFolder& own = *pins.held.back();
  FolderAccess access;
  if (!own.Protect() || !own.ReadAccess(access)) return false;
  // Where the system keeps no lists (Wine), what is read back is made up from the Unix mode
  // bits, not what was set: nothing to check there.
  return IsAdministratorsOnly(access) || !access.ownerStored;
}

}  // namespace

bool IsAdministratorsOnly(const FolderAccess& access) {
  return OnlyTrustedMay(access, kChangeRights);
}

bool UsersCannotReplace(const FolderAccess& access) {
  return OnlyTrustedMay(access, kReplaceRights);
}

bool IsSystemFolderOrAbove(const std::string& folder, const std::vector<std::string>& system) {
  for (std::size_t k = 0; k < system.size(); ++k) {
    if (system[k].empty()) continue;
    if (Within(system[k], folder)) return true;            // the folder itself, or above it
    if (k == 0 && Within(folder, system[k])) return true;  // inside the Windows folder
  }
  return false;
}

bool GuardInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                        const std::string& installFolder, const std::string& defaultInstallFolder,
                        const std::vector<std::string>& systemFolders) {
  // A share's folders belong to another machine, whose owners and access lists mean nothing
  // here.
  if (installFolder.rfind("\\\\", 0) == 0) return false;
  if (SameFolder(installFolder, defaultInstallFolder)) {
    const std::vector<std::string> levels = LevelsOf(installFolder, kProductLevels);
    if (levels.size() != kProductLevels || !EnsureBase(fs, levels)) return false;
    return GuardSharedLevel(fs, security, pins, levels[0], true, UsersCannotReplace, false) &&
           GuardOwnLevel(fs, security, pins, levels[1], IsAdministratorsOnly, false);
  }
  if (IsSystemFolderOrAbove(installFolder, systemFolders)) return false;
  return GuardPreviousInstallFolder(fs, security, pins, installFolder);
}

bool GuardDataFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                     const std::string& commonDataFolder) {
  const std::vector<std::string> levels = LevelsOf(commonDataFolder, kProductLevels);
  if (levels.size() != kProductLevels || !EnsureBase(fs, levels)) return false;
  return GuardSharedLevel(fs, security, pins, levels[0], true, UsersCannotReplace, true) &&
         GuardOwnLevel(fs, security, pins, levels[1], UsersCannotReplace, true);
}

bool OpenShutFolders(FolderPins& pins) {
  bool all = true;
  for (PinnedFolder* level : pins.shut) all = level->InheritFromParent() && all;
  pins.shut.clear();
  return all;
}

bool EnsureUserFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                      int levels) {
  const std::vector<std::string> checked = LevelsOf(folder, levels);
  for (const std::string& level : checked) {
    if (security.IsReparsePoint(level)) return false;
  }
  if (!EnsureFolder(fs, folder)) return false;
  // Made by name: each level is looked at again through a handle of its own before anything
  // uses it, in case a link was put in its place meanwhile.
  for (const std::string& level : checked) {
    std::unique_ptr<PinnedFolder> pin;
    if (security.Pin(level, pin) != PinResult::Pinned || !SameFolder(pin->FinalPath(), level)) {
      return false;
    }
  }
  return true;
}

}  // namespace corvane
