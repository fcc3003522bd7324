#include "payload/win32/win32_folder_security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "payload/win32/win32_file_system.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

// Owned by Administrators; the system and Administrators have full control, Users read and
// execute, as in the program-files folder. Every entry is inherited by subfolders and files,
// and the list does not take entries from the folder above.
constexpr wchar_t kProtectedSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

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

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The protected descriptor, self-relative; null when the system cannot build it.
PSECURITY_DESCRIPTOR ProtectedDescriptor() {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedSddl, SDDL_REVISION_1, &sd,
                                                            nullptr)) {
    return nullptr;
  }
  return sd;
}

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return std::string();
  LocalMemory hold(text);
  return FromWide(text);
}

// Taking over a folder that someone else owns and that grants the administrators nothing: the
// take-ownership privilege gives WRITE_OWNER, with backup semantics the restore privilege gives
// WRITE_DAC and the backup privilege READ_CONTROL. An elevated administrator holds all three,
// disabled.
void EnableOwnershipPrivileges() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return;
  Handle token(raw);
  for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME}) {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
      AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
  }
}

}  // namespace

bool Win32FolderSecurity::IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Win32FolderSecurity::ReadAccess(const std::string& path, FolderAccess& access) {
  std::wstring wide = ToWide(path);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                            &dacl, nullptr, &sd) != ERROR_SUCCESS) {
    return false;
  }
  LocalMemory hold(sd);
  access.owner = SidText(owner);
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

CreateDirResult Win32FolderSecurity::MakeProtectedDirectory(const std::string& path) {
  LocalMemory sd(ProtectedDescriptor());
  if (sd.get() == nullptr) return CreateDirResult::OtherError;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), sd.get(), FALSE};
  // Fails with ERROR_INVALID_OWNER when not elevated.
  return CreateDirectoryWith(path, &attributes);
}

// Works on a handle to the folder itself (FILE_FLAG_OPEN_REPARSE_POINT): a folder swapped for
// a junction after it was looked at is refused here, and the junction's target never gets
// the new owner or access list. READ_CONTROL too: SetSecurityInfo reads the present descriptor
// to merge inherited entries (Wine 8 fails it with error 5 without that right).
bool Win32FolderSecurity::Protect(const std::string& path) {
  if (!privilegesEnabled_) {
    EnableOwnershipPrivileges();
    privilegesEnabled_ = true;
  }
  const DWORD rights = READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES;
  Handle folder(CreateFileW(
      ToWide(path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!folder.valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder.get(), &info)) return false;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  LocalMemory sd(ProtectedDescriptor());
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  if (sd.get() == nullptr || !GetSecurityDescriptorOwner(sd.get(), &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted)) {
    return false;
  }
  return SetSecurityInfo(folder.get(), SE_FILE_OBJECT,
                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                             PROTECTED_DACL_SECURITY_INFORMATION,
                         owner, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

}  // namespace corvane
