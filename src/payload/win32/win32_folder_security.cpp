#include "payload/win32/win32_folder_security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "payload/win32/win32_file_system.h"
#include "system/win32/file_paths.h"
#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

// Memory that a security call allocated with LocalAlloc.
class LocalMemory {
 public:
  explicit LocalMemory(void* p = nullptr) : p_(p) {}
  ~LocalMemory() {
    if (p_) LocalFree(p_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  void* get() const { return p_; }

 private:
  void* p_;
};

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return std::string();
  LocalMemory hold(text);
  return FromWide(text);
}

// Wine keeps no owners for files: it reports the caller's own user as the owner of every one
// (checked with Wine 8.0) and builds that user's entry from the Unix owner's mode bits.
bool SystemStoresOwners() {
  static const bool stored =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
  return stored;
}

// Reads a descriptor's owner and access list into `access`.
bool ToFolderAccess(PSID owner, PACL dacl, FolderAccess& access) {
  access.owner = SidText(owner);
  access.ownerStored = SystemStoresOwners();
  access.hasAccessList = dacl != nullptr;
  access.entries.clear();
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(dacl, i, &raw)) return false;
    // Every access entry type keeps its mask right after the header. Only the two plain types
    // are read for their trustee; any other allowing entry counts as granted to a stranger.
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    AccessEntry entry;
    entry.allow = ace->Header.AceType != ACCESS_DENIED_ACE_TYPE;
    entry.inheritOnly = (ace->Header.AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.mask = ace->Mask;
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ||
        ace->Header.AceType == ACCESS_DENIED_ACE_TYPE) {
      entry.trustee = SidText(const_cast<DWORD*>(&ace->SidStart));
    }
    access.entries.push_back(entry);
  }
  return true;
}

// Owner Administrators; the system and Administrators full control, Users read and run, for
// the folder, its subfolders and files; nothing inherited from above. What Program Files gives
// a folder made in it, without the installer service.
constexpr wchar_t kProtectedSddl[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// The protected descriptor, with its owner and list; null parts when it cannot be built.
class ProtectedDescriptor {
 public:
  ProtectedDescriptor() {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedSddl, SDDL_REVISION_1, &sd,
                                                              nullptr)) {
      return;
    }
    memory_ = std::make_unique<LocalMemory>(sd);
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(sd, &owner_, &defaulted) ||
        !GetSecurityDescriptorDacl(sd, &present, &dacl_, &defaulted) || !present) {
      owner_ = nullptr;
      dacl_ = nullptr;
    }
  }
  PSECURITY_DESCRIPTOR Get() const { return memory_ ? memory_->get() : nullptr; }
  PSID Owner() const { return owner_; }
  PACL Dacl() const { return dacl_; }

 private:
  std::unique_ptr<LocalMemory> memory_;
  PSID owner_ = nullptr;
  PACL dacl_ = nullptr;
};

// A second handle to the very folder `folder` holds (never opened by name again), with the
// rights to change its owner and list.
Handle ReopenToChange(HANDLE folder) {
  HANDLE h = ReOpenFile(folder, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  return Handle(h);
}

class Win32PinnedFolder final : public PinnedFolder {
 public:
  explicit Win32PinnedFolder(HANDLE handle) : handle_(handle) {}

  bool Protect() override {
    const ProtectedDescriptor sd;
    Handle change = ReopenToChange(handle_.Get());
    if (sd.Dacl() == nullptr || !change.Valid()) return false;
    return SetSecurityInfo(change.Get(), SE_FILE_OBJECT,
                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                               PROTECTED_DACL_SECURITY_INFORMATION,
                           sd.Owner(), nullptr, sd.Dacl(), nullptr) == ERROR_SUCCESS;
  }

  // An empty list of its own, no longer protected: the system fills in what the folder above
  // passes on.
  bool InheritFromParent() override {
    ACL empty;
    Handle change = ReopenToChange(handle_.Get());
    if (!change.Valid() || !InitializeAcl(&empty, sizeof(empty), ACL_REVISION)) return false;
    return SetSecurityInfo(change.Get(), SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, &empty, nullptr) == ERROR_SUCCESS;
  }

  std::string FinalPath() override { return FromWide(FinalPathOf(handle_.Get())); }

  bool ReadAccess(FolderAccess& access) override {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(handle_.Get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &sd) != ERROR_SUCCESS) {
      return false;
    }
    LocalMemory hold(sd);
    return ToFolderAccess(owner, dacl, access);
  }

 private:
  Handle handle_;
};

}  // namespace

CreateDirResult Win32FolderSecurity::MakeProtectedFolder(const std::string& path) {
  const ProtectedDescriptor sd;
  if (sd.Get() == nullptr) return CreateDirResult::OtherError;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), sd.Get(), FALSE};
  return CreateDirectoryWith(path, &attributes);
}

bool Win32FolderSecurity::IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The handle refuses delete sharing, so that the folder cannot be renamed, deleted or replaced
// by a link while it is open; it is opened with FILE_FLAG_OPEN_REPARSE_POINT, so that a link
// found at the name is looked at itself and never followed. READ_CONTROL reads the owner and
// access list from this very handle, not again by name. Sharing is only checked against
// handles with data access (Windows and Wine alike: with READ_CONTROL and attributes alone the
// folder could still be renamed under Wine 8), hence FILE_LIST_DIRECTORY.
PinResult Win32FolderSecurity::Pin(const std::string& path, std::unique_ptr<PinnedFolder>& pinned) {
  HANDLE raw =
      CreateFileW(ToWide(path).c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PinResult::Missing
                                                                          : PinResult::Failed;
  }
  auto folder = std::make_unique<Win32PinnedFolder>(raw);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(raw, &info)) return PinResult::Failed;
  // Wine 8 opens a symbolic link's target even with FILE_FLAG_OPEN_REPARSE_POINT and reports
  // the target's attributes through the handle; only the name's attributes show the link.
  const DWORD named = GetFileAttributesW(ToWide(path).c_str());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT))) {
    return PinResult::ReparsePoint;
  }
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return PinResult::NotAFolder;
  pinned = std::move(folder);
  return PinResult::Pinned;
}

}  // namespace corvane
