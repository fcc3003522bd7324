#include "folderdlg/win32/win32_chooser_file_system.h"

#include <windows.h>

#include <utility>

#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

class FindEnumeration : public DirEnumeration {
 public:
  // `handle` holds nothing for a pattern that matched nothing.
  FindEnumeration(FindHandle handle, const WIN32_FIND_DATAW& first)
      : handle_(std::move(handle)), data_(first), pending_(handle_.Valid()) {}

  bool Next(DirEntry& entry) override {
    if (!pending_) {
      if (!handle_.Valid() || !FindNextFileW(handle_.Get(), &data_)) return false;
    }
    pending_ = false;
    entry.name = FromWide(data_.cFileName);
    entry.attributes = data_.dwFileAttributes;
    return true;
  }

 private:
  FindHandle handle_;
  WIN32_FIND_DATAW data_;
  bool pending_;
};

}  // namespace

DriveType Win32ChooserFileSystem::DriveTypeOf(const std::string& rootPath) {
  return static_cast<DriveType>(GetDriveTypeW(ToWide(rootPath).c_str()));
}

bool Win32ChooserFileSystem::VolumeName(const std::string& rootPath, std::string& name) {
  wchar_t volume[261] = {};
  if (!GetVolumeInformationW(ToWide(rootPath).c_str(), volume, 261, nullptr, nullptr, nullptr,
                             nullptr, 0)) {
    return false;
  }
  volume[260] = L'\0';
  name = FromWide(volume);
  return true;
}

std::unique_ptr<DirEnumeration> Win32ChooserFileSystem::Enumerate(const std::string& pattern) {
  WIN32_FIND_DATAW data{};
  FindHandle handle(FindFirstFileW(ToWide(pattern).c_str(), &data));
  if (!handle.Valid()) {
    // The root of an empty volume has no entries at all, not even "." and "..": the listing
    // started and is empty. Anything else (not ready, path gone, access denied) is a failure.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return nullptr;
  }
  return std::make_unique<FindEnumeration>(std::move(handle), data);
}

bool Win32ChooserFileSystem::FreeSpace(const std::string& rootPath, DiskFreeSpace& space) {
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceW(ToWide(rootPath).c_str(), &sectorsPerCluster, &bytesPerSector,
                         &freeClusters, &totalClusters)) {
    return false;
  }
  space.sectorsPerCluster = sectorsPerCluster;
  space.bytesPerSector = bytesPerSector;
  space.freeClusters = freeClusters;
  return true;
}

bool Win32ChooserFileSystem::SameName(const std::string& a, const std::string& b) {
  std::wstring wa = ToWide(a);
  std::wstring wb = ToWide(b);
  if (wa.size() != wb.size()) return false;
  // The system's upper-case table, which folds every script it knows, one unit for one unit.
  if (!wa.empty()) {
    CharUpperBuffW(wa.data(), static_cast<DWORD>(wa.size()));
    CharUpperBuffW(wb.data(), static_cast<DWORD>(wb.size()));
  }
  return wa == wb;
}

}  // namespace corvane
