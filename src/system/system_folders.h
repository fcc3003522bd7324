// The folders that neither the setup nor the uninstaller may take as an install folder: one
// list and one comparison for both, so that a folder the setup refuses is never one the
// uninstaller removes from, and the other way round.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "system/known_folders.h"

namespace corvane {

// The Windows folder first, then System, Program Files and Common Files (the 32-bit program's
// "(x86)" ones and, on 64-bit Windows, the system's own), ProgramData, the profile, the
// desktops, documents, pictures, start menus and startup folders, the application data
// folders with the product's data folders in them, and the temp folder.
// Paths without a trailing backslash; folders the system does not supply are left out.
std::vector<std::string> SystemFolders(KnownFolderSource& source);

// True when the path is not safe to compare by its text: a '/', a doubled backslash, or a
// component that Windows would not take as written ("." and "..", or a name ending with a dot
// or a space, which Windows drops: "C:\ProgramData." opens C:\ProgramData).
bool HasAmbiguousComponents(std::string_view path);

// The folder is one of `systemFolders` or lies above one; with the first entry (the Windows
// folder) also when it lies inside it. Case-insensitive; empty entries are passed over. A folder
// with ambiguous components (above) counts as a system folder: it is refused unseen.
bool IsSystemFolderOrAbove(std::string_view folder, const std::vector<std::string>& systemFolders);

}  // namespace corvane
