// The folders that the elevated setup writes into must not be someone else's. The product's own
// folders are created with the security the system gives them by inheritance; one found made by
// someone else is moved aside and made afresh. Folders that may hold other products' data
// ("Tamarind Software") and the folders above a previous installation are only checked, never
// changed. Every folder checked stays pinned (held open, so that nobody can move it or put a
// link in its place) until the install is done. The per-user work folder stays the user's.
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
using FolderPins = std::vector<std::unique_ptr<PinnedFolder>>;

// Owned by Administrators, the system or the installer service, and nobody else may change the
// folder, its access list or what it holds (add, delete or change files and folders in it).
bool IsAdministratorsOnly(const FolderAccess& access);
// Owned as above, and nobody else may delete, rename or re-own the folder, change its access
// list or delete what it holds; others may still add files and folders to it.
bool UsersCannotReplace(const FolderAccess& access);

// The install folder, with the folders above it: in the default layout "Tamarind Software"
// (checked, made when missing); for a previous installation elsewhere every folder between the
// drive root and it (checked, never made). The install folder itself must be the
// administrators' only. False when a level fails its check, a UNC path or a drive root.
bool GuardInstallFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                        const std::string& installFolder, const std::string& defaultInstallFolder);

// The common data folder and "Tamarind Software" above it (the folder above that is the
// system's own). Others may add files to the data folder, as the product expects.
bool GuardDataFolder(FileSystem& fs, FolderSecurity& security, FolderPins& pins,
                     const std::string& commonDataFolder);

// The per-user work folder, made as by EnsureFolder with the user's own access, but never
// through a reparse point at one of its `levels` lowest folders: then nothing is created and
// the result is false.
bool EnsureUserFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                      int levels);

}  // namespace corvane
