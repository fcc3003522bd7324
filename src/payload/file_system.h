// What the payload and folder code needs of the file system. The Windows adapter makes one
// system call per operation; tests use an in-memory double.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace corvane {

// Drive types as the system's drive-type query reports them.
enum class DriveType : std::uint32_t {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

// Outcome of one directory creation.
enum class CreateDirResult { Created, AlreadyExists, PathNotFound, OtherError };

enum class ShareMode { None, Read };
enum class OpenMode {
  CreateAlways,   // create, or truncate an existing file
  OpenExisting,   // open an existing file without touching its contents; fails when absent
  CreateNew,      // create a file that does not exist yet; fails when something has the name
  CreateNewGone,  // as CreateNew, and the file is deleted again when it is closed
};

// An open file; destroying it closes the handle.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // One write call with all bytes; true when the system reports success and wrote them all.
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  // Sets only the last-write time (100 ns ticks since 1601-01-01 UTC).
  virtual bool SetLastWriteTime(std::uint64_t fileTime) = 0;
};

// A file held open for deleting, with every kind of sharing: while it is, nobody else can open
// it without delete sharing, so it stays replaceable. Closed when destroyed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens for write access with normal attributes; null when the open fails.
  virtual std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                                     OpenMode mode) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Opens an existing file (never a link's target) for deleting, sharing read, write and
  // delete; null when it is missing or someone holds it open without delete sharing.
  virtual std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) = 0;
  // The contents of a small file (at most 64 KB); false when it cannot be read or is larger.
  virtual bool ReadSmallFile(const std::string& path, std::string& contents) = 0;
  // Renames a file (or, without `replace`, a folder) within its volume; with `replace` an
  // existing file of the new name is replaced in the same step, so that the name always names
  // one of the two; without it the rename fails when the name is taken.
  virtual bool RenameFile(const std::string& from, const std::string& to, bool replace) = 0;
  // Gives the existing file `existing` the second name `link` (a hard link) in the same folder.
  // False when the name is taken or the volume has no hard links.
  virtual bool LinkFile(const std::string& existing, const std::string& link) = 0;
  // Has the file deleted when the system next starts (administrators only).
  virtual bool RemoveAtRestart(const std::string& path) = 0;
  // Has the file `from` take the name `to` when the system next starts, replacing the file of
  // that name (administrators only); both in one folder. False where that cannot be arranged.
  virtual bool ReplaceAtRestart(const std::string& from, const std::string& to) {
    static_cast<void>(from), static_cast<void>(to);
    return false;
  }
  // A number that nobody can predict, for the names of files the setup makes in folders that
  // other users can write to.
  virtual std::uint64_t RandomNumber() = 0;
  // True when the attribute query for the path succeeds (file or folder alike).
  virtual bool HasAttributes(const std::string& path) = 0;
  // Drive type of a root path such as "C:\".
  virtual DriveType DriveTypeOf(const std::string& rootPath) = 0;
  virtual CreateDirResult MakeDirectory(const std::string& path) = 0;
};

}  // namespace corvane
