// The folders that the elevated setup writes into are reached only through a chain of held
// folders that starts at a base no standard user can change (a drive's root, Program Files,
// ProgramData), each level opened or created relative to the one above. Nothing that someone
// else made or can change is adopted in place: a product folder that fails its check is moved
// aside and made afresh (its access list set in the creating call, never changed afterwards),
// and an existing level above that standard users could replace stops the install before
// anything is written. Data folder levels the setup makes stay shut to everyone but the
// administrators until the product's files are in them. Every level stays held until the
// install is done, and the install's files are written relative to the held folders.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"
#include "payload/folder_security.h"
#include "system/log.h"

namespace corvane {

inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
inline constexpr std::string_view kLocalSystemSid = "S-1-5-18";
inline constexpr std::string_view kUsersSid = "S-1-5-32-545";
inline constexpr std::string_view kCreatorOwnerSid = "S-1-3-0";
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// "Tamarind Software" and the product folder below it.
inline constexpr std::size_t kProductLevels = 2;

// Inserted between a folder's name and a random part when a folder made by someone else is
// moved aside: "Corvane.moved-k3x9q2ab".
inline constexpr std::string_view kMovedAsideMark = ".moved-";

// The folders held for one install attempt.
struct FolderPins {
  // Bases and levels, outermost first; each stays open until the install is done.
  std::vector<std::unique_ptr<PinnedFolder>> held;
  PinnedFolder* install = nullptr;  // the install folder, once guarded
  PinnedFolder* data = nullptr;     // the common data folder, once guarded
  std::string installPath, dataPath;  // as the file list names them, with a backslash
  // Data folder levels made shut, or found left shut by a run that failed, outermost first;
  // they get the access they inherit only once every product file is in place.
  std::vector<PinnedFolder*> shut;
  // A product folder found made by someone else and moved aside: `name` in `parent` is now
  // `aside`, and `fresh` has its name. Put back if the install fails (UndoMovedAside).
  struct Move {
    PinnedFolder* parent = nullptr;
    std::string name, aside;
    PinnedFolder* fresh = nullptr;
  };
  std::vector<Move> moved;
  void clear() {
    moved.clear();
    shut.clear();
    install = data = nullptr;
    // Innermost first, as a chain is let go.
    while (!held.empty()) held.pop_back();
  }
};

// How a folder was found, for the log: "held", "missing", ...
const char* PinResultText(PinResult result);

// Owned by Administrators, the system or the installer service, and nobody else may change the
// folder, its access list or what it holds (add, delete or change files and folders in it).
bool IsAdministratorsOnly(const FolderAccess& access);
// Owned as above, and nobody else may delete, rename or re-own the folder, change its access
// list or delete what it holds; others may still add files and folders to it.
bool UsersCannotReplace(const FolderAccess& access);
// A level above a product folder: owned as above, nobody else may delete it, change its list
// or owner, and nobody else may delete what its `parent` holds (which would let them rename
// the level away). Entries that apply only to what is made inside do not count here.
bool LevelCannotBeReplaced(const FolderAccess& level, const FolderAccess& parent);
// Exactly the list the guard gives a folder it makes shut: a level a failed run left shut.
bool IsLeftShut(const FolderAccess& access);

// The install folder, with the folders above it, from its base: Program Files for the default
// layout, the drive's root for a previous installation elsewhere. Missing levels are made shut
// relative to the level above; an existing level above must be one standard users cannot
// replace; the install folder itself must be the administrators' only, and one that is not (or
// a file of that name) is moved aside and made afresh. False for a path that is not an
// absolute local one, has "." or ".." in it, is or lies above one of `systemFolders` (the
// first entry, the Windows folder, also for a folder inside it), for a link at any level, and
// for a level above that users could replace; nothing has been written then. The reason goes
// to `log` when there is one.
bool GuardInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                        const std::string& installFolder, const std::string& defaultInstallFolder,
                        const std::vector<std::string>& systemFolders, SetupLog* log);

// The common data folder and "Tamarind Software" above it, from ProgramData. A level that is
// made, and one left shut by a run that failed, is shut (pins.shut) until OpenShutFolders;
// others may then add files to it, as the product expects. The maker folder may hold other
// products' data: only checked, never moved or changed (unless this setup left it shut).
bool GuardDataFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                     const std::string& commonDataFolder, SetupLog* log);

// Gives the shut levels the access they inherit, outermost first: call it only once every
// product file in them is in place. False when one could not be changed; it then stays shut.
bool OpenShutFolders(FolderPins& pins);

// After a failed install: each product folder made afresh in place of one moved aside is
// removed (it is empty again) and the moved one gets its name back, as it was.
void UndoMovedAside(FolderPins& pins, SetupLog* log);

// The install's file operations by path, done relative to the held install and data folders:
// a path whose folder is not one of them, or whose name is not a plain name, fails.
std::unique_ptr<FileSystem> HeldFolderFiles(FileSystem& fs, FolderPins& pins);

// The per-user work folder: made, level by level relative to the one above, with what each
// inherits, only below the user's own `profileFolder` (as the system records it, never as the
// user's registry says); a folder anywhere else is skipped, and so is a link at any level.
// True when it exists afterwards.
bool EnsureUserFolder(FolderSecurity& security, const std::string& profileFolder,
                      const std::string& folder, SetupLog* log);

}  // namespace corvane
