// What the folder guard needs of the system's file security: reparse points, owners and access
// lists, and folders held open so that nobody can move them. The Windows adapter makes one
// security call per operation where it can; tests use an in-memory double.
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
  std::vector<AccessEntry> entries;
};

// A folder held open: while it is, nobody can delete, rename or replace it (a link put in its
// place included). Closed when destroyed.
class PinnedFolder {
 public:
  virtual ~PinnedFolder() = default;
  // Owner and access list of the folder that is held, read from the open handle.
  virtual bool ReadAccess(FolderAccess& access) = 0;
  // Gives the held folder the protection Program Files gives, through this handle: owner
  // Administrators; the system and Administrators may do anything, Users read and run; nothing
  // inherited from above.
  virtual bool Protect() = 0;
  // Drops the folder's own list, through this handle: it then has what it inherits from the
  // folder above, as a folder made there would.
  virtual bool InheritFromParent() = 0;
  // The path the system resolves the handle to; empty when it cannot tell.
  virtual std::string FinalPath() = 0;
};

enum class PinResult {
  Pinned,
  Missing,       // nothing has the name
  ReparsePoint,  // a junction, symbolic link or mount point: never opened through
  NotAFolder,    // a file has the name
  Failed,        // it exists but cannot be opened (no access, or opened by someone without sharing)
};

class FolderSecurity {
 public:
  virtual ~FolderSecurity() = default;
  // True when the path exists and is a reparse point (junction, symbolic link, mount point).
  virtual bool IsReparsePoint(const std::string& path) = 0;
  // Opens the folder itself, never a reparse point's target, so that nobody else can delete or
  // rename it while `pinned` holds it. `pinned` is set only for PinResult::Pinned.
  virtual PinResult Pin(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) = 0;
  // Creates a folder that has PinnedFolder::Protect's list from its first moment, so that
  // nobody else can write into it or change it, not even while it is empty.
  virtual CreateDirResult MakeProtectedFolder(const std::string& path) = 0;
};

}  // namespace corvane
