// Files and folders reached relative to a folder handle that is held open, never by a path
// walked again: NtCreateFile with the folder as ObjectAttributes.RootDirectory and one bare
// name, and names given to an open file relative to the same handle.
#pragma once

#include <windows.h>

#include <winternl.h>

#include <string>
#include <vector>

#include "system/win32/handle.h"

namespace corvane {

// One name inside a folder: not empty, no separators, no stream (':'), not "." or "..".
bool IsBareName(const std::wstring& name);

enum class RelativeResult {
  Done,
  BadName,    // not a bare name (refused before any call), or one the file system rejects
  Missing,    // nothing has the name
  Exists,     // a create found something with the name
  Denied,     // no access, held open by someone without the sharing asked for, or being deleted
  WrongKind,  // a file where a folder was asked for, or the other way round
  Failed,
};

struct RelativeOpen {
  ACCESS_MASK access = 0;  // FILE_READ_ATTRIBUTES and SYNCHRONIZE are always added
  ULONG share = 0;
  ULONG disposition = FILE_OPEN;
  ULONG options = 0;  // FILE_OPEN_REPARSE_POINT and FILE_SYNCHRONOUS_IO_NONALERT are added
  PSECURITY_DESCRIPTOR security =
      nullptr;  // for a new file or folder; null: what `folder` passes on
};

// Opens or creates `name` in the open folder `folder`. A reparse point at the name is opened
// as itself, never followed. `opened` is set only for RelativeResult::Done.
RelativeResult OpenRelative(HANDLE folder, const std::wstring& name, const RelativeOpen& how,
                            Handle& opened);

// True when `name` in the open folder `folder` is itself a reparse point (or cannot be looked
// at): the name's own attributes, read relative to the folder without opening it. Wine 10 opens
// a Unix symbolic link's target even with FILE_OPEN_REPARSE_POINT and reports the target's
// attributes through that handle; only the name's attributes show the link (0x410 for a link
// to a folder, checked with Wine 10's WoW64).
bool NameIsReparsePoint(HANDLE folder, const std::wstring& name);

// The names directly in the open folder `folder` (without "." and ".."), listed through a
// second handle to it; false when it cannot be listed.
bool ListNames(HANDLE folder, std::vector<std::wstring>& names);

// Gives the open file (or folder) `file` the bare name `name` in the open folder `folder`:
// renamed there, or a second hard link. Without `replace` a name that is taken fails.
bool RenameRelative(HANDLE file, HANDLE folder, const std::wstring& name, bool replace);
bool LinkRelative(HANDLE file, HANDLE folder, const std::wstring& name);

// Marks an open file, or an empty folder, for deletion when its last handle closes (opened
// with DELETE access). A folder with anything in it fails.
RelativeResult MarkForDeletion(HANDLE handle);

}  // namespace corvane
