#include "payload/secure_folders.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "payload/paths.h"
#include "system/system_folders.h"
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
// The same for the folder itself only: delete, write DAC, write owner, maximum allowed,
// generic all. And on its parent: delete child, maximum allowed, generic all.
constexpr std::uint32_t kRemoveItselfRights =
    0x00010000 | 0x00040000 | 0x00080000 | 0x02000000 | 0x10000000;
constexpr std::uint32_t kRemoveChildRights = 0x00000040 | 0x02000000 | 0x10000000;
// File all access, and read and execute: the entries of a folder the guard made shut.
constexpr std::uint32_t kFullControl = 0x001F01FF;
constexpr std::uint32_t kReadAndRun = 0x001200A9;

bool IsTrustedSid(const std::string& sid) {
  return sid == kAdministratorsSid || sid == kLocalSystemSid || sid == kTrustedInstallerSid;
}

// Where the system stores no owners, the owner it reports and that owner's entry stand for no
// one in particular; only the other entries tell whether strangers may change the folder.
bool IsTrusted(const FolderAccess& access, const std::string& sid) {
  return IsTrustedSid(sid) || (!access.ownerStored && sid == access.owner);
}

// Nobody but the trusted owners may use `rights`; with `ownOnly`, entries that only pass on to
// what is made inside do not count.
bool OnlyTrustedMay(const FolderAccess& access, std::uint32_t rights, bool ownOnly = false,
                    bool ownerCounts = true) {
  if ((ownerCounts && !IsTrusted(access, access.owner)) || !access.hasAccessList) return false;
  return std::all_of(access.entries.begin(), access.entries.end(), [&](const AccessEntry& e) {
    if (!e.allow || (e.mask & rights) == 0 || IsTrusted(access, e.trustee)) return true;
    if (ownOnly && e.inheritOnly) return true;
    // Stands for whoever creates a child; only the administrators can.
    return e.inheritOnly && e.trustee == kCreatorOwnerSid;
  });
}

using Check = bool (*)(const FolderAccess&);

void Note(SetupLog* log, std::initializer_list<std::string_view> parts) {
  if (log != nullptr) log->Line(parts);
}

// The folder `levels` levels above `folder` (no trailing backslash); empty when there is none.
std::string Above(std::string folder, std::size_t levels) {
  for (std::size_t k = 0; k < levels && !folder.empty(); ++k) folder = Parent(folder);
  return StripTrailingBackslash(folder);
}

// A drive letter, colon and backslash: the root of a local drive.
std::string DriveRootOf(const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return {};
  return path.substr(0, 3);
}

// A chain being walked: the held folder at its end and that folder's path.
struct Walk {
  PinnedFolder* folder = nullptr;
  std::string path;  // no trailing backslash
};

// Opens the base of a chain. It must keep access lists (a FAT volume keeps none: every folder
// on it is open to everyone).
bool StartAt(FolderSecurity& security, FolderPins& pins, const std::string& base, Walk& walk,
             SetupLog* log) {
  std::unique_ptr<PinnedFolder> pinned;
  if (base.empty() || security.OpenBase(base, pinned) != PinResult::Pinned) {
    Note(log, {"folder ", base, ": the base folder cannot be opened"});
    return false;
  }
  FolderAccess access;
  if (!pinned->ReadAccess(access) || !access.hasAccessList) {
    Note(log, {"folder ", base, ": keeps no access lists; not installed there"});
    return false;
  }
  walk.folder = pinned.get();
  walk.path = StripTrailingBackslash(base);
  pins.held.push_back(std::move(pinned));
  return true;
}

void Hold(FolderPins& pins, std::unique_ptr<PinnedFolder> pinned, Walk& walk,
          const std::string& name) {
  walk.folder = pinned.get();
  walk.path += "\\" + name;
  pins.held.push_back(std::move(pinned));
}

// Makes the missing level `name` shut, relative to the end of the walk. `made` tells whether
// this call made it; one someone made in the meantime is opened like any existing level.
PinResult OpenOrMake(Walk& walk, const std::string& name, std::unique_ptr<PinnedFolder>& pinned,
                     bool& made) {
  made = false;
  PinResult result = walk.folder->OpenFolder(name, pinned);
  if (result != PinResult::Missing) return result;
  switch (walk.folder->MakeFolder(name, NewFolder::Shut, pinned)) {
    case CreateDirResult::Created:
      made = true;
      return PinResult::Pinned;
    case CreateDirResult::AlreadyExists:
      return walk.folder->OpenFolder(name, pinned);
    case CreateDirResult::PathNotFound:
    case CreateDirResult::OtherError:
      break;
  }
  return PinResult::Failed;
}

// A level above the product folder: made shut when missing, else it must be one standard users
// cannot replace. `shut` collects the levels that are to be opened after the install (made
// now, or left shut by a run that failed).
bool GuardLevelAbove(FolderPins& pins, Walk& walk, const std::string& name,
                     std::vector<PinnedFolder*>* shut, SetupLog* log) {
  std::unique_ptr<PinnedFolder> pinned;
  bool made = false;
  const PinResult result = OpenOrMake(walk, name, pinned, made);
  const std::string path = walk.path + "\\" + name;
  if (result != PinResult::Pinned) {
    Note(log, {"folder ", path, ": ", PinResultText(result)});
    return false;
  }
  if (!made) {
    FolderAccess level, parent;
    if (!pinned->ReadAccess(level) || !walk.folder->ReadAccess(parent) ||
        !LevelCannotBeReplaced(level, parent)) {
      Note(log, {"folder ", path,
                 ": others could rename, delete or take over this folder; not installed below it"});
      return false;
    }
    made = IsLeftShut(level);
  }
  if (made && shut != nullptr) shut->push_back(pinned.get());
  Hold(pins, std::move(pinned), walk, name);
  return true;
}

// Renames whatever has the name `name` in the walk's folder to a new name beside it; the
// contents are kept. The new name, or empty when the rename failed.
std::string MoveAside(FileSystem& fs, Walk& walk, const std::string& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const std::string aside = name + std::string(kMovedAsideMark) + RandomName(fs, 8);
    if (walk.folder->Has(aside)) continue;
    if (walk.folder->RenameFile(name, aside, false)) return aside;
    if (!walk.folder->Has(aside)) return {};  // not a collision: the rename itself failed
  }
  return {};
}

// The product's own folder, the last level: one that passes `check` is used; missing, it is
// made shut; one that fails (made by someone else, open to others, a file, or one the setup
// cannot open) is moved aside and made afresh, so that nothing anyone opened before can reach
// the folder written into. With `ownEntries`, everything in a folder found must be the
// administrators' too (a folder a user made once and an older setup protected in place may
// still hold the user's files). A link there fails, and so does a parent from which others may
// delete (they could rename the folder away once the setup has ended). With `shut`, a folder
// made now or left shut by a failed run is opened after the install.
PinnedFolder* GuardProductLevel(FileSystem& fs, FolderPins& pins, Walk& walk,
                                const std::string& name, Check check, bool ownEntries, bool shut,
                                SetupLog* log) {
  const std::string path = walk.path + "\\" + name;
  FolderAccess parent;
  if (!walk.folder->ReadAccess(parent) || !OnlyTrustedMay(parent, kRemoveChildRights, true, false)) {
    Note(log, {"folder ", walk.path, ": others could rename ", name,
               " away; not installed below it"});
    return nullptr;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::unique_ptr<PinnedFolder> pinned;
    bool made = false;
    const PinResult result = OpenOrMake(walk, name, pinned, made);
    FolderAccess access;
    if (result == PinResult::Pinned &&
        (made || (pinned->ReadAccess(access) && check(access) &&
                  (!ownEntries || pinned->HoldsOnlyAdministratorsEntries())))) {
      if (shut && (made || IsLeftShut(access))) pins.shut.push_back(pinned.get());
      PinnedFolder* product = pinned.get();
      pins.held.push_back(std::move(pinned));
      return product;
    }
    // A link is never moved: Wine renames a symbolic link's target rather than the link, which
    // would move some other folder.
    if (result == PinResult::Missing || result == PinResult::ReparsePoint) {
      Note(log, {"folder ", path, ": ", PinResultText(result)});
      return nullptr;
    }
    pinned.reset();  // a held folder cannot be renamed, not even by its holder
    const std::string aside = MoveAside(fs, walk, name);
    if (aside.empty()) {
      Note(log, {"folder ", path, ": made by someone else and cannot be moved aside"});
      return nullptr;
    }
    Note(log, {"folder ", path, ": made by someone else or open to others; moved aside to ",
               walk.path, "\\", aside, " with what it held"});
    std::unique_ptr<PinnedFolder> fresh;
    if (walk.folder->MakeFolder(name, NewFolder::Shut, fresh) != CreateDirResult::Created) {
      walk.folder->RenameFile(aside, name, false);  // someone took the name at once: put back
      continue;
    }
    pins.moved.push_back({walk.folder, name, aside, fresh.get()});
    if (shut) pins.shut.push_back(fresh.get());
    PinnedFolder* product = fresh.get();
    pins.held.push_back(std::move(fresh));
    return product;
  }
  return nullptr;
}

// A folder the guard may install into at all: an absolute path on a local drive, without "."
// or "..", that is none of the system's folders nor above one, nor inside the Windows folder.
bool AcceptablePath(const std::string& folder, const std::vector<std::string>& systemFolders,
                    SetupLog* log) {
  if (DriveRootOf(folder).empty() || HasAmbiguousComponents(folder) ||
      !IsValidPath(StripTrailingBackslash(folder))) {
    Note(log, {"folder ", folder, ": not an absolute folder on a local drive"});
    return false;
  }
  if (IsSystemFolderOrAbove(StripTrailingBackslash(folder), systemFolders)) {
    Note(log, {"folder ", folder, ": a system folder, or above or inside one"});
    return false;
  }
  return true;
}

}  // namespace

const char* PinResultText(PinResult result) {
  switch (result) {
    case PinResult::Pinned:
      return "held";
    case PinResult::Missing:
      return "missing";
    case PinResult::ReparsePoint:
      return "a link or mount point, refused";
    case PinResult::NotAFolder:
      return "a file, not a folder";
    case PinResult::Failed:
      return "cannot be opened";
  }
  return "";
}

bool IsAdministratorsOnly(const FolderAccess& access) {
  return OnlyTrustedMay(access, kChangeRights);
}

bool UsersCannotReplace(const FolderAccess& access) {
  return OnlyTrustedMay(access, kReplaceRights);
}

bool LevelCannotBeReplaced(const FolderAccess& level, const FolderAccess& parent) {
  if (!OnlyTrustedMay(level, kRemoveItselfRights, true)) return false;
  // Only the parent's entries matter here, not who owns it: the base is the system's own.
  return OnlyTrustedMay(parent, kRemoveChildRights, true, false);
}

bool IsLeftShut(const FolderAccess& access) {
  const AccessEntry expected[] = {{true, false, kFullControl, std::string(kLocalSystemSid)},
                                  {true, false, kFullControl, std::string(kAdministratorsSid)},
                                  {true, false, kReadAndRun, std::string(kUsersSid)}};
  if (!access.ownerStored || access.owner != kAdministratorsSid || !access.protectedList ||
      !access.hasAccessList || access.entries.size() != std::size(expected)) {
    return false;
  }
  for (std::size_t k = 0; k < std::size(expected); ++k) {
    const AccessEntry& e = access.entries[k];
    if (e.allow != expected[k].allow || e.inheritOnly != expected[k].inheritOnly ||
        e.mask != expected[k].mask || e.trustee != expected[k].trustee) {
      return false;
    }
  }
  return true;
}

bool GuardInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                        const std::string& installFolder, const std::string& defaultInstallFolder,
                        const std::vector<std::string>& systemFolders, SetupLog* log) {
  // "C:\Apps\Corvane\\" names the folder "C:\Apps\Corvane" too.
  std::string folder = installFolder;
  while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  const bool defaultLayout =
      SameText(folder, StripTrailingBackslash(defaultInstallFolder));
  // The default folder lies in Program Files, itself a system folder.
  if (!defaultLayout && !AcceptablePath(folder, systemFolders, log)) return false;
  const std::string base = defaultLayout ? Above(folder, kProductLevels) : DriveRootOf(folder);
  const std::vector<std::string> names = LevelsOf(base, folder);
  if (base.empty() || names.empty() || (defaultLayout && names.size() != kProductLevels)) {
    Note(log, {"folder ", installFolder, ": not an absolute folder on a local drive"});
    return false;
  }
  Walk walk;
  if (!StartAt(security, pins, base, walk, log)) return false;
  // A drive letter may stand for a folder elsewhere (a substituted drive): where the install
  // folder really lies is checked too, before anything is made below the root.
  if (!defaultLayout) {
    std::string resolved = StripTrailingBackslash(walk.folder->FinalPath());
    for (const std::string& name : names) resolved += "\\" + name;
    if (IsSystemFolderOrAbove(resolved, systemFolders)) {
      Note(log, {"folder ", installFolder, ": lies in ", resolved, ", a system folder; refused"});
      return false;
    }
  }
  for (std::size_t k = 0; k + 1 < names.size(); ++k) {
    if (!GuardLevelAbove(pins, walk, names[k], nullptr, log)) return false;
  }
  pins.install =
      GuardProductLevel(fs, pins, walk, names.back(), IsAdministratorsOnly, true, false, log);
  if (pins.install == nullptr) return false;
  pins.installPath = installFolder;  // as the file list names it
  return true;
}

bool GuardDataFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                     const std::string& commonDataFolder, SetupLog* log) {
  const std::string base = Above(commonDataFolder, kProductLevels);
  const std::vector<std::string> names = LevelsOf(base, commonDataFolder);
  if (base.empty() || names.size() != kProductLevels) return false;
  Walk walk;
  if (!StartAt(security, pins, base, walk, log) ||
      !GuardLevelAbove(pins, walk, names[0], &pins.shut, log)) {
    return false;
  }
  // Users may add files to the data folder: only the folder itself is checked.
  pins.data = GuardProductLevel(fs, pins, walk, names[1], UsersCannotReplace, false, true, log);
  if (pins.data == nullptr) return false;
  pins.dataPath = WithBackslash(commonDataFolder);
  return true;
}

bool OpenShutFolders(FolderPins& pins) {
  bool all = true;
  for (PinnedFolder* level : pins.shut) all = level->InheritFromParent() && all;
  pins.shut.clear();
  return all;
}

void UndoMovedAside(FolderPins& pins, SetupLog* log) {
  for (auto move = pins.moved.rbegin(); move != pins.moved.rend(); ++move) {
    // Let go of the fresh folder first: nobody but the administrators can delete or rename it
    // meanwhile (it is shut), and nobody can take its name while the parent is held.
    auto it = std::find_if(pins.held.begin(), pins.held.end(),
                           [&](const auto& p) { return p.get() == move->fresh; });
    if (it != pins.held.end()) pins.held.erase(it);
    if (pins.install == move->fresh) pins.install = nullptr;
    if (pins.data == move->fresh) pins.data = nullptr;
    std::erase(pins.shut, move->fresh);
    if (!move->parent->RemoveFolder(move->name)) {
      Note(log, {"folder ", move->name, ": not empty, ", move->aside, " keeps its name"});
      continue;
    }
    const bool back = move->parent->RenameFile(move->aside, move->name, false);
    Note(log, {"folder ", move->aside, back ? ": given back its name " : ": could not be given "
                                              "back its name ", move->name});
  }
  pins.moved.clear();
}

bool EnsureUserFolder(FolderSecurity& security, const std::string& profileFolder,
                      const std::string& folder, SetupLog* log) {
  const std::vector<std::string> names = LevelsOf(profileFolder, folder);
  if (profileFolder.empty() || names.empty() || HasAmbiguousComponents(folder)) {
    Note(log, {"work folder ", folder, ": not made, it is not below the user's profile folder ",
               profileFolder});
    return false;
  }
  std::unique_ptr<PinnedFolder> level;
  if (security.OpenBase(profileFolder, level) != PinResult::Pinned) return false;
  std::string path = StripTrailingBackslash(profileFolder);
  for (const std::string& name : names) {
    path += "\\" + name;
    std::unique_ptr<PinnedFolder> next;
    PinResult result = level->OpenFolder(name, next);
    if (result == PinResult::Missing &&
        level->MakeFolder(name, NewFolder::Inherited, next) == CreateDirResult::Created) {
      result = PinResult::Pinned;
    }
    if (result != PinResult::Pinned) {
      Note(log, {"work folder ", path, ": ", PinResultText(result)});
      return false;
    }
    level = std::move(next);
  }
  return true;
}

}  // namespace corvane
