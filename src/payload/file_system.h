// What the payload and folder code needs of the file system. The Windows adapter makes one
// system call per operation; tests use an in-memory double.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

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
  CreateAlways,  // create, or truncate an existing file
  OpenAlways,    // create, or open an existing file without touching its contents
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

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens for write access with normal attributes; null when the open fails.
  virtual std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                                     OpenMode mode) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // True when the attribute query for the path succeeds (file or folder alike).
  virtual bool HasAttributes(const std::string& path) = 0;
  // Drive type of a root path such as "C:\".
  virtual DriveType DriveTypeOf(const std::string& rootPath) = 0;
  virtual CreateDirResult MakeDirectory(const std::string& path) = 0;
};

}  // namespace corvane
