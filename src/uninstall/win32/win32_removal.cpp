#include "uninstall/win32/win32_removal.h"

#include <windows.h>

#include <vector>

#include "payload/win32/relative_files.h"
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

// A running program's file cannot be deleted: access denied, or a sharing violation when
// another process holds it open. A folder where a product file should be is not in use but
// someone else's: it fails, and is never scheduled for deletion at the restart.
RemoveResult FromRelative(RelativeResult result) {
  switch (result) {
    case RelativeResult::Done:
      return RemoveResult::Removed;
    case RelativeResult::Missing:
      return RemoveResult::Missing;
    case RelativeResult::Denied:
      return RemoveResult::InUse;
    default:
      return RemoveResult::Failed;
  }
}

// `name` in the open folder `parent`, never following a reparse point at the name.
RelativeResult Open(HANDLE parent, const std::string& name, ACCESS_MASK access, ULONG share,
                    ULONG options, Handle& opened) {
  RelativeOpen how;
  how.access = access;
  how.share = share;
  how.options = options | FILE_OPEN_FOR_BACKUP_INTENT;
  return OpenRelative(parent, ToWide(name), how, opened);
}

bool IsPlainFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

FolderOpen Win32RemovalFileSystem::OpenBase(const std::string& path, Folder& folder) {
  // A known folder or a drive's root: only administrators can change it, and the system may
  // well put one behind a link of its own, so its path is followed.
  Handle owned(CreateFileW(ToWide(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!owned.Valid()) return LastErrorIsMissing() ? FolderOpen::Missing : FolderOpen::Failed;
  const DWORD attributes = AttributesOf(owned.Get());
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
  const RelativeResult result = Open(AsHandle(parent), name, FILE_LIST_DIRECTORY | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, 0, opened);
  if (result != RelativeResult::Done) {
    if (result == RelativeResult::Missing) return FolderOpen::Missing;
    return result == RelativeResult::BadName ? FolderOpen::Refused : FolderOpen::Failed;
  }
  if (!IsPlainFolder(AttributesOf(opened.Get()))) return FolderOpen::Refused;
  folder = AsFolder(opened.Release());
  return FolderOpen::Opened;
}

RemoveResult Win32RemovalFileSystem::RemoveFile(Folder folder, const std::string& name) {
  Handle file;
  const RelativeResult result =
      Open(AsHandle(folder), name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
           FILE_NON_DIRECTORY_FILE, file);
  return FromRelative(result == RelativeResult::Done ? MarkForDeletion(file.Get()) : result);
}

RemoveResult Win32RemovalFileSystem::RemoveFolder(Folder folder) {
  // Only an empty folder can be marked (ERROR_DIR_NOT_EMPTY otherwise); it goes with this handle.
  const Handle open(AsHandle(folder));
  return MarkForDeletion(open.Get()) == RelativeResult::Done ? RemoveResult::Removed
                                                             : RemoveResult::Failed;
}

void Win32RemovalFileSystem::Close(Folder folder) { const Handle closed(AsHandle(folder)); }

std::string Win32RemovalFileSystem::PathOf(Folder folder) {
  const HANDLE handle = AsHandle(folder);
  if (GetFileType(handle) != FILE_TYPE_DISK || !IsPlainFolder(AttributesOf(handle))) return {};
  const std::wstring path = FinalPathOf(handle);
  return path.empty() ? std::string() : FromWide(path) + "\\";
}

bool Win32RemovalFileSystem::IsThisProgram(Folder folder, const std::string& name) {
  Handle file;
  if (Open(AsHandle(folder), name, FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE,
           FILE_NON_DIRECTORY_FILE, file) != RelativeResult::Done) {
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
