// FileSystem on the Windows file API: one wide system call per operation.
#pragma once

#include <windows.h>

#include <utility>

#include "payload/file_system.h"
#include "system/win32/handle.h"

namespace corvane {

// An open file that the install writes, by path or relative to a held folder.
class Win32OutputFile final : public OutputFile {
 public:
  explicit Win32OutputFile(Handle handle) : handle_(std::move(handle)) {}
  bool Write(std::span<const std::uint8_t> bytes) override;
  bool SetLastWriteTime(std::uint64_t fileTime) override;

 private:
  Handle handle_;
};

class Win32HeldFile final : public HeldFile {
 public:
  explicit Win32HeldFile(Handle handle) : handle_(std::move(handle)) {}

 private:
  Handle handle_;
};

class Win32FileSystem : public FileSystem {
 public:
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& path, ShareMode share,
                                             OpenMode mode) override;
  bool RemoveFile(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& path) override;
  bool ReadSmallFile(const std::string& path, std::string& contents) override;
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override;
  bool LinkFile(const std::string& existing, const std::string& link) override;
  bool RemoveAtRestart(const std::string& path) override;
  std::uint64_t RandomNumber() override;
  bool HasAttributes(const std::string& path) override;
  DriveType DriveTypeOf(const std::string& rootPath) override;
  CreateDirResult MakeDirectory(const std::string& path) override;
};

}  // namespace corvane
