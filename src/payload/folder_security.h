// What the folder guard needs of the system's file security: reparse points, owners and access
// lists. The Windows adapter makes one security call per operation where it can; tests use an
// in-memory double.
#pragma once

#include <cstdint>
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
  bool hasAccessList = true;  // false: a null access list, which lets everyone do anything
  std::vector<AccessEntry> entries;
};

class FolderSecurity {
 public:
  virtual ~FolderSecurity() = default;
  // True when the path exists and is a reparse point (junction, symbolic link, mount point).
  virtual bool IsReparsePoint(const std::string& path) = 0;
  // Owner and access list of an existing folder; false when they cannot be read.
  virtual bool ReadAccess(const std::string& path, FolderAccess& access) = 0;
  // Creates one folder that is owned by Administrators and carries the protected access list
  // from the start.
  virtual CreateDirResult MakeProtectedDirectory(const std::string& path) = 0;
  // Takes ownership of an existing folder for Administrators and replaces its access list by
  // the protected one. Refuses (false) a reparse point or anything that is not a folder, and
  // never acts on a reparse point's target.
  virtual bool Protect(const std::string& path) = 0;
};

}  // namespace corvane
