#include "payload/win32/win32_file_system.h"

#include <windows.h>

#include <ntsecapi.h>

#include "system/win32/file_paths.h"
#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {

// A write that reports success but wrote fewer bytes (a volume that ran out of room on some
// file systems) counts as failed: the file would be installed cut short.
bool Win32OutputFile::Write(std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  const BOOL ok =
      WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok != FALSE && written == bytes.size();
}

bool Win32OutputFile::SetLastWriteTime(std::uint64_t fileTime) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  return SetFileTime(handle_.Get(), nullptr, nullptr, &ft) != FALSE;
}

std::unique_ptr<OutputFile> Win32FileSystem::OpenForWriting(const std::string& path,
                                                            ShareMode share, OpenMode mode) {
  const DWORD shareFlags = share == ShareMode::Read ? FILE_SHARE_READ : 0;
  DWORD access = GENERIC_WRITE;
  DWORD disposition = CREATE_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case OpenMode::CreateAlways:
      break;
    case OpenMode::OpenExisting:
      disposition = OPEN_EXISTING;
      break;
    case OpenMode::CreateNew:
      disposition = CREATE_NEW;
      break;
    case OpenMode::CreateNewGone:
      access |= DELETE;
      disposition = CREATE_NEW;
      flags |= FILE_FLAG_DELETE_ON_CLOSE;
      break;
  }
  Handle file(
      CreateFileW(ToWide(path).c_str(), access, shareFlags, nullptr, disposition, flags, nullptr));
  if (!file.Valid()) return nullptr;
  return std::make_unique<Win32OutputFile>(std::move(file));
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  return DeleteFileW(ToWide(path).c_str()) != FALSE;
}

// DELETE access: the open fails with a sharing violation when another process holds the file
// without delete sharing, which is what would stop its replacement later; while this handle is
// open, nobody can open it that way.
std::unique_ptr<HeldFile> Win32FileSystem::HoldForReplacing(const std::string& path) {
  Handle file(CreateFileW(ToWide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) return nullptr;
  return std::make_unique<Win32HeldFile>(std::move(file));
}

bool Win32FileSystem::ReadSmallFile(const std::string& path, std::string& contents) {
  const Handle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return file.Valid() && ReadSmallContents(file.Get(), contents);
}

bool Win32FileSystem::RenameFile(const std::string& from, const std::string& to, bool replace) {
  return MoveFileExW(ToWide(from).c_str(), ToWide(to).c_str(),
                     replace ? MOVEFILE_REPLACE_EXISTING : 0) != FALSE;
}

bool Win32FileSystem::LinkFile(const std::string& existing, const std::string& link) {
  return CreateHardLinkW(ToWide(link).c_str(), ToWide(existing).c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::RemoveAtRestart(const std::string& path) {
  return MoveFileExW(ToWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// RtlGenRandom (advapi32's SystemFunction036): the system's generator, without loading the
// crypto providers' DLLs.
std::uint64_t Win32FileSystem::RandomNumber() {
  std::uint64_t value = 0;
  if (!RtlGenRandom(&value, sizeof(value))) {
    // Never expected; a time-based value still differs between runs.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    value = static_cast<std::uint64_t>(now.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  }
  return value;
}

bool Win32FileSystem::HasAttributes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data) != FALSE;
}

DriveType Win32FileSystem::DriveTypeOf(const std::string& rootPath) {
  return static_cast<DriveType>(GetDriveTypeW(ToWide(rootPath).c_str()));
}

CreateDirResult Win32FileSystem::MakeDirectory(const std::string& path) {
  if (CreateDirectoryW(ToWide(path).c_str(), nullptr)) return CreateDirResult::Created;
  switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
      return CreateDirResult::AlreadyExists;
    case ERROR_PATH_NOT_FOUND:
      return CreateDirResult::PathNotFound;
    default:
      return CreateDirResult::OtherError;
  }
}

}  // namespace corvane
