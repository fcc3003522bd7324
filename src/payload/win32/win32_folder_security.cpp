#include "payload/win32/win32_folder_security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <vector>

#include "payload/win32/relative_files.h"
#include "payload/win32/win32_file_system.h"
#include "system/win32/file_paths.h"
#include "system/win32/handle.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

std::string SidText(PSID sid) {
  LocalMemory text;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.Out()))) {
    return std::string();
  }
  return FromWide(static_cast<const wchar_t*>(text.Get()));
}

// Wine keeps no owners for files: it reports the caller's own user as the owner of every one
// (checked with Wine 8.0, and with Wine 10: S-1-5-21-0-0-0-1000 for a folder made with owner
// Administrators in the creating call) and builds that user's entry from the Unix mode bits.
bool SystemStoresOwners() {
  static const bool stored =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
  return stored;
}

// Reads a descriptor's owner and access list into `access`.
bool ToFolderAccess(PSECURITY_DESCRIPTOR sd, PSID owner, PACL dacl, FolderAccess& access) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(sd, &control, &revision)) return false;
  access.owner = SidText(owner);
  access.ownerStored = SystemStoresOwners();
  access.hasAccessList = dacl != nullptr;
  access.protectedList = (control & SE_DACL_PROTECTED) != 0;
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

// A held folder: its listing and attributes, its owner and list. No delete sharing: nobody
// can rename, delete or replace the folder while it is open, and nobody else can open it for
// deleting. Sharing is only checked against handles with data access (Windows and Wine alike:
// with READ_CONTROL and attributes alone the folder could still be renamed under Wine 8), hence
// FILE_LIST_DIRECTORY. No DELETE: a process whose current folder it is (kvxh.exe runs in the
// install folder, started while the setup still holds it) opens it without delete sharing, and
// neither open may ask for what the other refuses to share.
constexpr ACCESS_MASK kHeldAccess =
    FILE_LIST_DIRECTORY | FILE_TRAVERSE | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kAllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

PinResult FolderResult(RelativeResult result) {
  switch (result) {
    case RelativeResult::Missing:
      return PinResult::Missing;
    case RelativeResult::WrongKind:
      return PinResult::NotAFolder;
    default:
      return PinResult::Failed;
  }
}

bool IsAdministratorsOrSystem(PSID owner) {
  return owner != nullptr && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                              IsWellKnownSid(owner, WinLocalSystemSid));
}

class Win32PinnedFolder final : public PinnedFolder {
 public:
  explicit Win32PinnedFolder(Handle handle) : handle_(std::move(handle)) {}

  bool ReadAccess(FolderAccess& access) override {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    LocalMemory sd;
    if (GetSecurityInfo(handle_.Get(), SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, sd.Out()) != ERROR_SUCCESS) {
      return false;
    }
    return ToFolderAccess(sd.Get(), owner, dacl, access);
  }

  // An empty list of its own, no longer protected: the system fills in what the folder above
  // passes on. Changed through a second handle to the very folder held (never opened by name).
  bool InheritFromParent() override {
    ACL empty;
    Handle change(ReOpenFile(handle_.Get(), READ_CONTROL | WRITE_DAC, kAllSharing,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (!change.Valid() || !InitializeAcl(&empty, sizeof(empty), ACL_REVISION)) return false;
    return SetSecurityInfo(change.Get(), SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, &empty, nullptr) == ERROR_SUCCESS;
  }

  // A drive's root comes back as "C:\"; every other folder without the backslash.
  std::string FinalPath() override {
    std::wstring path = FinalPathOf(handle_.Get());
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return FromWide(path);
  }

  PinResult OpenFolder(const std::string& name, std::unique_ptr<PinnedFolder>& pinned) override {
    RelativeOpen how;
    how.access = kHeldAccess;
    how.share = kHeldShare;
    how.options = FILE_DIRECTORY_FILE;
    Handle opened;
    const RelativeResult result = OpenRelative(handle_.Get(), ToWide(name), how, opened);
    if (result != RelativeResult::Done) return FolderResult(result);
    // Looked at once it is held (from then on nothing else can be put at its name), through the
    // handle and by the name relative to this folder.
    const DWORD attributes = AttributesOf(opened.Get());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PinResult::Failed;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        NameIsReparsePoint(handle_.Get(), ToWide(name))) {
      return PinResult::ReparsePoint;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return PinResult::NotAFolder;
    pinned = std::make_unique<Win32PinnedFolder>(std::move(opened));
    return PinResult::Pinned;
  }

  // The descriptor goes into the creating call: there is no moment in which the new folder
  // has what the folder above passes on, and the handle that made it is the one held.
  CreateDirResult MakeFolder(const std::string& name, NewFolder security,
                             std::unique_ptr<PinnedFolder>& pinned) override {
    const LocalMemory shut = SecurityFromSddl(kProtectedSddl);
    RelativeOpen how;
    how.access = kHeldAccess;
    how.share = kHeldShare;
    how.disposition = FILE_CREATE;
    how.options = FILE_DIRECTORY_FILE;
    if (security == NewFolder::Shut) {
      how.security = shut.Get();
      if (how.security == nullptr) return CreateDirResult::OtherError;
    }
    Handle made;
    switch (OpenRelative(handle_.Get(), ToWide(name), how, made)) {
      case RelativeResult::Done:
        pinned = std::make_unique<Win32PinnedFolder>(std::move(made));
        return CreateDirResult::Created;
      case RelativeResult::Exists:
        return CreateDirResult::AlreadyExists;
      case RelativeResult::Missing:
        return CreateDirResult::PathNotFound;
      default:
        return CreateDirResult::OtherError;
    }
  }

  std::unique_ptr<OutputFile> OpenFile(const std::string& name, ShareMode share,
                                       OpenMode mode) override {
    RelativeOpen how;
    how.access = GENERIC_WRITE;
    how.share = share == ShareMode::Read ? FILE_SHARE_READ : 0;
    how.options = FILE_NON_DIRECTORY_FILE;
    switch (mode) {
      case OpenMode::CreateAlways:
        how.disposition = FILE_OVERWRITE_IF;
        break;
      case OpenMode::OpenExisting:
        how.disposition = FILE_OPEN;
        break;
      case OpenMode::CreateNew:
        how.disposition = FILE_CREATE;
        break;
      case OpenMode::CreateNewGone:
        how.access |= DELETE;
        how.disposition = FILE_CREATE;
        how.options |= FILE_DELETE_ON_CLOSE;
        break;
    }
    Handle file;
    if (OpenRelative(handle_.Get(), ToWide(name), how, file) != RelativeResult::Done) {
      return nullptr;
    }
    return std::make_unique<Win32OutputFile>(std::move(file));
  }

  // Attributes alone: no sharing is checked, so a file held open by anyone still counts.
  bool Has(const std::string& name) override {
    RelativeOpen how;
    how.share = kAllSharing;
    Handle found;
    const RelativeResult result = OpenRelative(handle_.Get(), ToWide(name), how, found);
    return result == RelativeResult::Done || result == RelativeResult::Denied;
  }

  bool RemoveFile(const std::string& name) override {
    Handle file;
    return OpenForChange(name, DELETE, FILE_NON_DIRECTORY_FILE, file) &&
           MarkForDeletion(file.Get()) == RelativeResult::Done;
  }

  // Only an empty folder can be marked (ERROR_DIR_NOT_EMPTY otherwise); it goes with this
  // handle, and never while anyone else has it open.
  bool RemoveFolder(const std::string& name) override {
    Handle folder;
    return OpenForChange(name, DELETE, FILE_DIRECTORY_FILE, folder) &&
           MarkForDeletion(folder.Get()) == RelativeResult::Done;
  }

  // DELETE access: the open fails with a sharing violation when another process holds the file
  // without delete sharing, which is what would stop its replacement later; while this handle
  // is open, nobody can open it that way.
  std::unique_ptr<HeldFile> HoldForReplacing(const std::string& name) override {
    Handle file;
    if (!OpenForChange(name, DELETE, FILE_NON_DIRECTORY_FILE, file)) return nullptr;
    return std::make_unique<Win32HeldFile>(std::move(file));
  }

  // The file (or, without `replace`, a folder) is opened as itself and renamed through its own
  // handle, to a name relative to the held folder.
  bool RenameFile(const std::string& from, const std::string& to, bool replace) override {
    Handle file;
    return OpenForChange(from, DELETE, replace ? FILE_NON_DIRECTORY_FILE : 0, file) &&
           RenameRelative(file.Get(), handle_.Get(), ToWide(to), replace);
  }

  bool LinkFile(const std::string& existing, const std::string& link) override {
    Handle file;
    return OpenForChange(existing, FILE_WRITE_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, file) &&
           LinkRelative(file.Get(), handle_.Get(), ToWide(link));
  }

  bool HoldsOnlyAdministratorsEntries() override {
    std::vector<std::wstring> names;
    if (!ListNames(handle_.Get(), names)) return false;
    for (const std::wstring& name : names) {
      RelativeOpen how;
      how.access = READ_CONTROL;
      how.share = kAllSharing;
      Handle entry;
      if (OpenRelative(handle_.Get(), name, how, entry) != RelativeResult::Done ||
          !IsAdministratorsOwn(entry.Get(), name, nullptr)) {
        return false;
      }
    }
    return true;
  }

  bool ReadOwnFile(const std::string& name, std::string& contents) override {
    Handle file;
    return OpenOwnFile(name, FILE_READ_DATA, FILE_SHARE_READ, file) &&
           ReadSmallContents(file.Get(), contents);
  }

  // The system takes a path for this; the file was looked at through its own handle just
  // before, and the path is the held folder's own. The file stays open (all sharing, no data
  // access) until its name is recorded.
  bool RemoveAtRestart(const std::string& name) override { return AtRestart(name, ""); }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) override {
    return IsBareName(ToWide(to)) && AtRestart(from, to);
  }

 private:
  // `name` deleted (`to` empty) or renamed to `to` at the next restart.
  bool AtRestart(const std::string& name, const std::string& to) {
    Handle file;
    if (!OpenOwnFile(name, 0, kAllSharing, file)) return false;
    const std::string folder = FinalPath();
    if (folder.empty()) return false;
    const std::wstring target = to.empty() ? std::wstring() : ToWide(folder + "\\" + to);
    return MoveFileExW(ToWide(folder + "\\" + name).c_str(), to.empty() ? nullptr : target.c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | (to.empty() ? 0 : MOVEFILE_REPLACE_EXISTING)) !=
           FALSE;
  }

  bool OpenForChange(const std::string& name, ACCESS_MASK access, ULONG options, Handle& file) {
    RelativeOpen how;
    how.access = access;
    how.share = kAllSharing;
    how.options = options;
    return OpenRelative(handle_.Get(), ToWide(name), how, file) == RelativeResult::Done;
  }

  // The file `name` itself, when only the administrators can have made and changed it: no
  // link of any kind (a second hard link could be another user's name for it), owned by
  // Administrators or the system. Where the system keeps no owners (Wine reports the caller's
  // user for every file) the owner says nothing, and only the other checks count.
  bool OpenOwnFile(const std::string& name, ACCESS_MASK access, DWORD share, Handle& file) {
    RelativeOpen how;
    how.access = access | READ_CONTROL;
    how.share = share;
    how.options = FILE_NON_DIRECTORY_FILE;
    DWORD links = 0;
    return OpenRelative(handle_.Get(), ToWide(name), how, file) == RelativeResult::Done &&
           IsAdministratorsOwn(file.Get(), ToWide(name), &links) && links == 1;
  }

  // The entry `name` (opened as `entry`, with READ_CONTROL) is no link and owned by
  // Administrators or the system. Where the system keeps no owners (Wine reports the caller's
  // user for every file) the owner says nothing, and only the other checks count.
  bool IsAdministratorsOwn(HANDLE entry, const std::wstring& name, DWORD* links) {
    const DWORD attributes = AttributesOf(entry, links);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        NameIsReparsePoint(handle_.Get(), name)) {
      return false;
    }
    PSID owner = nullptr;
    LocalMemory sd;
    if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, sd.Out()) != ERROR_SUCCESS) {
      return false;
    }
    return !SystemStoresOwners() || IsAdministratorsOrSystem(owner);
  }

  Handle handle_;
};

}  // namespace

// A drive's root or a folder the system owns, followed through any link the system put there.
// Held like every other folder (a process whose current folder is the base, C:\ is a common
// one, holds it without delete sharing: no held folder asks for DELETE).
PinResult Win32FolderSecurity::OpenBase(const std::string& path,
                                        std::unique_ptr<PinnedFolder>& pinned) {
  Handle base(CreateFileW(ToWide(path).c_str(), kHeldAccess, kHeldShare, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!base.Valid()) return LastErrorIsMissing() ? PinResult::Missing : PinResult::Failed;
  const DWORD attributes = AttributesOf(base.Get());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PinResult::Failed;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return PinResult::NotAFolder;
  pinned = std::make_unique<Win32PinnedFolder>(std::move(base));
  return PinResult::Pinned;
}

}  // namespace corvane
