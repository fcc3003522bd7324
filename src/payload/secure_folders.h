// The folders that the elevated setup writes into must not be someone else's. The product's own
// default folders are created with the security the system gives them by inheritance; one found
// made by someone else is moved aside and made afresh. A previous installation elsewhere is
// installed over in place: its folder is given the protection Program Files gives. Data folder
// levels the setup makes stay shut to everyone but the administrators until the product's files
// are in them. Folders that may hold other products' data ("Tamarind Software") are only
// checked, never changed. Every folder checked stays pinned (held open, so that nobody can move
// it or put a link in its place) until the install is done. The per-user work folder stays the
// user's.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "payload/file_system.h"
#include "payload/folder_security.h"

namespace corvane {

inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
inline constexpr std::string_view kLocalSystemSid = "S-1-5-18";
inline constexpr std::string_view kUsersSid = "S-1-5-32-545";
inline constexpr std::string_view kCreatorOwnerSid = "S-1-3-0";
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// "Tamarind Software" and the product folder below it.
inline constexpr int kProductLevels = 2;

// Inserted between a folder's name and a random part when a folder made by someone else is
// moved aside: "Corvane.moved-k3x9q2ab".
inline constexpr std::string_view kMovedAsideMark = ".moved-";

// The folders checked so far, held until the install is done.
struct FolderPins {
  std::vector<std::unique_ptr<PinnedFolder>> held;
  // Data folder levels made shut, outermost first; they get the access they inherit only once
  // every product file is in place (OpenShutFolders).
  std::vector<PinnedFolder*> shut;
  void clear() {
    shut.clear();
    held.clear();
  }
};

// Owned by Administrators, the system or the installer service, and nobody else may change the
// folder, its access list or what it holds (add, delete or change files and folders in it).
bool IsAdministratorsOnly(const FolderAccess& access);
// Owned as above, and nobody else may delete, rename or re-own the folder, change its access
// list or delete what it holds; others may still add files and folders to it.
bool UsersCannotReplace(const FolderAccess& access);

// The folder is one of `systemFolders` or lies above one; with the first entry (the Windows
// folder) also when it lies inside it. Empty entries are passed over.
bool IsSystemFolderOrAbove(const std::string& folder,
                           const std::vector<std::string>& systemFolders);

// The install folder, with the folders above it. In the default layout "Tamarind Software" is
// checked (made when missing) and the install folder must be the administrators' only. A
// previous installation elsewhere is installed over in place: missing folders above it are
// made, every level from the drive root down is held and none may be a link, and the install
// folder is given the protection Program Files gives, through its held handle, before anything
// is written. False for a link, a UNC path, a drive root, one of `systemFolders` or a folder
// above one (the first entry, the Windows folder, also for a folder inside it), and a folder
// that cannot be protected; nothing has been changed in it then.
bool GuardInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                        const std::string& installFolder, const std::string& defaultInstallFolder,
                        const std::vector<std::string>& systemFolders);

// The common data folder and "Tamarind Software" above it (the folder above that is the
// system's own). A level that is made, and a data folder left shut by a run that failed, is
// shut (pins.shut) until OpenShutFolders; others may then add files to it, as the product
// expects.
bool GuardDataFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                     const std::string& commonDataFolder);

// Gives the shut levels the access they inherit, outermost first: call it only once every
// product file in them is in place, since a folder that holds files cannot become a link. False
// when one could not be changed; it then stays shut.
bool OpenShutFolders(FolderPins& pins);

// The per-user work folder, made as by EnsureFolder with the user's own access, but never
// through a reparse point at one of its `levels` lowest folders, checked before and, through
// each level's own handle, after it is made (not a reparse point, and the path the system
// resolves it to is the one asked for). False, with nothing more made, when one is.
bool EnsureUserFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                      int levels);

}  // namespace corvane
