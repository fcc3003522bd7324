// What the folder guard needs of the system: folders held open as themselves, reached as a
// chain of handles from a base folder that no standard user can change, and everything below a
// held folder done relative to its handle (never by a path walked again). Owners and access
// lists are read from the held handles. The Windows adapter makes one system call per operation
// where it can; tests use an in-memory double.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/file_system.h"

namespace corvane {

// One entry of a folder's access list. Trustees are string SIDs ("S-1-5-32-544").
struct AccessEntry {
  bool allow = true;         // false for a deny entry
  bool inheritOnly = false;  // applies to children only
  std::uint32_t mask = 0;    // access rights as the system stores them
  std::string trustee;       // empty when the entry names no SID the reader understood
};

struct FolderAccess {
  std::string owner;
  // False where the system keeps no owners (Wine reports the caller's own user as the owner of
  // every file): then the owner, and the entries naming it, say nothing about who made it.
  bool ownerStored = true;
  bool hasAccessList = true;  // false: a null access list, which lets everyone do anything
  bool protectedList = false;  // nothing inherited from above
  std::vector<AccessEntry> entries;
};

enum class PinResult {
  Pinned,
  Missing,       // nothing has the name
  ReparsePoint,  // a junction, symbolic link or mount point: never opened through
  NotAFolder,    // a file has the name
  Failed,        // it exists but cannot be opened (no access, or opened by someone without sharing)
};

// How a folder the guard creates starts out.
enum class NewFolder {
  Shut,       // owner Administrators; the system and Administrators may do anything, Users read
              // and run; nothing inherited (what Program Files gives a folder made in it)
  Inherited,  // what the folder above passes on
};

// A folder held open as itself: while it is, nobody can delete, rename or replace it (a link
// put in its place included). Everything below it is reached relative to this handle, by a
// bare name (no separators, not "." or ".."): a name with anything else is refused. Closed
// when destroyed.
class PinnedFolder {
 public:
  virtual ~PinnedFolder() = default;

  // --- the folder itself ---
  // Owner and access list of the folder that is held, read from the open handle.
  virtual bool ReadAccess(FolderAccess& access) = 0;
  // Drops the folder's own list, through this handle: it then has what it inherits from the
  // folder above, as a folder made there would. Only for a folder this setup made shut.
  virtual bool InheritFromParent() = 0;
  // The path the system resolves the handle to, without a trailing backslash; empty when it
  // cannot tell.
  virtual std::string FinalPath() = 0;

  // True when everything directly in the folder is the administrators' own: each file and
  // folder owned by Administrators or the system and no link (each looked at through a handle
  // of its own). False when something is not, or the folder cannot be listed.
  virtual bool HoldsOnlyAdministratorsEntries() = 0;

  // --- folders in it ---
  // Opens the folder `name` as itself (never a reparse point's target) and holds it.
  // `pinned` is set only for PinResult::Pinned.
  virtual PinResult OpenFolder(const std::string& name, std::unique_ptr<PinnedFolder>& pinned) = 0;
  // Creates the folder `name` with the given security in the same call (never a folder that
  // exists already: AlreadyExists then) and holds it from its first moment.
  virtual CreateDirResult MakeFolder(const std::string& name, NewFolder security,
                                     std::unique_ptr<PinnedFolder>& pinned) = 0;

  // --- files (or, for RenameFile without `replace`, folders) in it ---
  virtual std::unique_ptr<OutputFile> OpenFile(const std::string& name, ShareMode share,
                                               OpenMode mode) = 0;
  // True when something (file or folder) has the name.
  virtual bool Has(const std::string& name) = 0;
  // Deletes the file `name` itself (a link as itself) through a handle of its own.
  virtual bool RemoveFile(const std::string& name) = 0;
  // Deletes the folder `name` itself through a handle of its own when it is empty (a link is
  // deleted as itself, never what it points to); false when it is not empty, or someone (this
  // program included) holds it.
  virtual bool RemoveFolder(const std::string& name) = 0;
  // Opens the file itself for deleting, sharing read, write and delete; null when it is
  // missing or someone holds it open without delete sharing.
  virtual std::unique_ptr<HeldFile> HoldForReplacing(const std::string& name) = 0;
  // Renames `from` to `to`, both in this folder; with `replace` an existing file `to` is
  // replaced in the same step; without it the rename fails when the name is taken.
  virtual bool RenameFile(const std::string& from, const std::string& to, bool replace) = 0;
  // Gives the existing file `existing` the second name `link` in this folder.
  virtual bool LinkFile(const std::string& existing, const std::string& link) = 0;
  // The contents of a small file (at most 64 KB) that only the administrators can have made
  // and changed: a plain file (no link) with one name, owned by Administrators or the system.
  // False for anything else.
  virtual bool ReadOwnFile(const std::string& name, std::string& contents) = 0;
  // Has the file `name` deleted when the system next starts, only when it passes the checks of
  // ReadOwnFile (looked at through its own handle): never someone else's file, never a folder.
  virtual bool RemoveAtRestart(const std::string& name) = 0;
  // Has the file `from` take the name `to` when the system next starts, replacing the file of
  // that name, with the checks of RemoveAtRestart on `from`.
  virtual bool ReplaceAtRestart(const std::string& from, const std::string& to) = 0;
};

class FolderSecurity {
 public:
  virtual ~FolderSecurity() = default;
  // Opens and holds a base folder by its path: a drive's root or a folder the system owns
  // (Program Files, ProgramData, a user's profile folder). The system may put one behind a
  // link of its own, so the path is followed; the chain starts here.
  virtual PinResult OpenBase(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) = 0;
};

}  // namespace corvane
