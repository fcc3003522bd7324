#include "uninstall/win32/win32_removal.h"

#include <windows.h>

#include "system/win32/wide.h"

namespace corvane {
namespace {

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

}  // namespace

RemoveResult Win32RemovalFileSystem::RemoveFile(const std::string& path) {
  if (DeleteFileW(ToWide(path).c_str())) return RemoveResult::Removed;
  return FromError(GetLastError());
}

RemoveResult Win32RemovalFileSystem::RemoveFolder(const std::string& path) {
  if (RemoveDirectoryW(ToWide(path).c_str())) return RemoveResult::Removed;
  const RemoveResult result = FromError(GetLastError());
  return result == RemoveResult::Missing ? result : RemoveResult::Failed;
}

bool Win32RemovalFileSystem::RemoveAtRestart(const std::string& path) {
  return MoveFileExW(ToWide(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

DriveType Win32RemovalFileSystem::DriveTypeOf(const std::string& rootPath) {
  return static_cast<DriveType>(GetDriveTypeW(ToWide(rootPath).c_str()));
}

}  // namespace corvane
