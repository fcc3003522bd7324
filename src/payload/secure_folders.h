// Folders that the elevated setup writes into belong to the administrators: created with a
// protected access list, or taken over when someone else got there first. The per-user work
// folder stays the user's.
#pragma once

#include <string>
#include <string_view>

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

// True when the folder belongs to Administrators, the system or the installer service, and
// nobody else is allowed to change it, its access list or anything created in it.
bool IsAdministratorsOnly(const FolderAccess& access);

// Makes sure that `folder` exists and that it and the folders above it, `levels` in all, are
// the administrators' (see IsAdministratorsOnly): a missing level is created protected, an
// existing one that is not the administrators' is taken over. Folders above the top level are
// created as by EnsureFolder when missing and never changed. False when a level is a reparse
// point, or cannot be created or taken over.
bool EnsureGuardedFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                         int levels);

// The install folder (with "Tamarind Software" above it when it is the default one; a previous
// installation elsewhere only has its own folder guarded) and the common data folder with
// "Tamarind Software" above it. False as soon as one of them cannot be guarded.
bool GuardInstallFolders(FileSystem& fs, FolderSecurity& security, const std::string& installFolder,
                         const std::string& defaultInstallFolder,
                         const std::string& commonDataFolder);

// The per-user work folder, made as by EnsureFolder with the user's own access, but never
// through a reparse point at one of its `levels` lowest folders: then nothing is created and
// the result is false.
bool EnsureUserFolder(FileSystem& fs, FolderSecurity& security, const std::string& folder,
                      int levels);

}  // namespace corvane
