#include "uninstall/win32/win32_removal.h"

#include <windows.h>

#include <winternl.h>

#include <vector>

#include "system/win32/file_paths.h"
#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

HANDLE AsHandle(RemovalFileSystem::Folder folder) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(folder));
}

RemovalFileSystem::Folder AsFolder(HANDLE handle) {
  return static_cast<RemovalFileSystem::Folder>(reinterpret_cast<std::uintptr_t>(handle));
}

RemoveResult FromError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return RemoveResult::Missing;
    // A running program's file cannot be deleted: access denied, or a sharing violation when
    // another process holds it open.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return RemoveResult::InUse;
    default:
      return RemoveResult::Failed;
  }
}

// One name inside a folder: no separators, no stream, not "." or "..".
bool PlainName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring::npos;
}

// NtCreateFile of `name` relative to the open folder `parent`, never following a reparse
// point at the name. Returns the Win32 error (0 on success).
DWORD OpenRelative(HANDLE parent, const std::wstring& name, ACCESS_MASK access, ULONG share,
                   ULONG options, Handle& opened) {
  if (!PlainName(name)) return ERROR_INVALID_NAME;
  UNICODE_STRING unicode;
  unicode.Buffer = const_cast<wchar_t*>(name.c_str());
  unicode.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  unicode.MaximumLength = unicode.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE handle = nullptr;
  const NTSTATUS result =
      NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status,
                   nullptr, 0, share, FILE_OPEN,
                   options | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                       FILE_SYNCHRONOUS_IO_NONALERT,
                   nullptr, 0);
  if (result < 0) return RtlNtStatusToDosError(result);
  opened = Handle(handle);
  return 0;
}

DWORD AttributesOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(handle, &info) ? info.dwFileAttributes
                                                   : INVALID_FILE_ATTRIBUTES;
}

bool IsPlainFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO remove{TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &remove, sizeof remove) != FALSE;
}

}  // namespace

FolderOpen Win32RemovalFileSystem::OpenBase(const std::string& path, Folder& folder) {
  // A known folder or a drive's root: only administrators can change it, and the system may
  // well put one behind a link of its own, so its path is followed.
  HANDLE handle = CreateFileW(ToWide(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return FromError(GetLastError()) == RemoveResult::Missing ? FolderOpen::Missing
                                                              : FolderOpen::Failed;
  }
  Handle owned(handle);
  const DWORD attributes = AttributesOf(handle);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FolderOpen::Refused;
  }
  folder = AsFolder(owned.Release());
  return FolderOpen::Opened;
}

FolderOpen Win32RemovalFileSystem::OpenFolder(Folder parent, const std::string& name,
                                              Folder& folder) {
  // No delete sharing: nobody renames or removes the folder while it is open here.
  Handle opened;
  const DWORD error = OpenRelative(AsHandle(parent), ToWide(name), FILE_LIST_DIRECTORY | DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, 0, opened);
  if (error != 0) {
    if (FromError(error) == RemoveResult::Missing) return FolderOpen::Missing;
    return error == ERROR_INVALID_NAME ? FolderOpen::Refused : FolderOpen::Failed;
  }
  if (!IsPlainFolder(AttributesOf(opened.Get()))) return FolderOpen::Refused;
  folder = AsFolder(opened.Release());
  return FolderOpen::Opened;
}

RemoveResult Win32RemovalFileSystem::RemoveFile(Folder folder, const std::string& name) {
  Handle file;
  const DWORD error = OpenRelative(AsHandle(folder), ToWide(name), DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FILE_NON_DIRECTORY_FILE, file);
  if (error != 0) return FromError(error);
  return MarkForDeletion(file.Get()) ? RemoveResult::Removed : FromError(GetLastError());
}

RemoveResult Win32RemovalFileSystem::RemoveFolder(Folder folder) {
  // Only an empty folder can be marked (ERROR_DIR_NOT_EMPTY otherwise); it goes with this handle.
  const Handle open(AsHandle(folder));
  return MarkForDeletion(open.Get()) ? RemoveResult::Removed : RemoveResult::Failed;
}

void Win32RemovalFileSystem::Close(Folder folder) { CloseHandle(AsHandle(folder)); }

std::string Win32RemovalFileSystem::PathOf(Folder folder) {
  const HANDLE handle = AsHandle(folder);
  if (GetFileType(handle) != FILE_TYPE_DISK || !IsPlainFolder(AttributesOf(handle))) return {};
  const std::wstring path = FinalPathOf(handle);
  return path.empty() ? std::string() : FromWide(path) + "\\";
}

bool Win32RemovalFileSystem::IsThisProgram(Folder folder, const std::string& name) {
  Handle file;
  if (OpenRelative(AsHandle(folder), ToWide(name), FILE_READ_DATA,
                   FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_NON_DIRECTORY_FILE, file) != 0) {
    return false;
  }
  Handle self(CreateFileW(ModulePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<char> installed, running;
  return self.Valid() && ReadWholeFile(file.Get(), installed) &&
         ReadWholeFile(self.Get(), running) && installed == running;
}

bool Win32RemovalFileSystem::RemoveAtRestart(const std::string& path) {
  return MoveFileExW(ToWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

DriveType Win32RemovalFileSystem::DriveTypeOf(const std::string& rootPath) {
  return static_cast<DriveType>(GetDriveTypeW(ToWide(rootPath).c_str()));
}

}  // namespace corvane
