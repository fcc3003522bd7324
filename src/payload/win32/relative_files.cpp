#include "payload/win32/relative_files.h"

#include <cstddef>
#include <cstring>
#include <vector>

// In ntdll since Windows NT; MinGW's winternl.h does not declare it.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE folder, HANDLE event, PIO_APC_ROUTINE apc,
                                               PVOID context, PIO_STATUS_BLOCK io, PVOID entries,
                                               ULONG length, FILE_INFORMATION_CLASS kind,
                                               BOOLEAN single, PUNICODE_STRING mask,
                                               BOOLEAN restart);

namespace corvane {
namespace {

// From ntstatus.h, which cannot be included beside windows.h without redefinitions.
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr NTSTATUS kNameInvalid = static_cast<NTSTATUS>(0xC0000033);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr NTSTATUS kCannotDelete = static_cast<NTSTATUS>(0xC0000121);

RelativeResult FromStatus(NTSTATUS status) {
  switch (status) {
    case kNoSuchFile:
    case kNameNotFound:
    case kPathNotFound:
      return RelativeResult::Missing;
    case kNameCollision:
      return RelativeResult::Exists;
    case kAccessDenied:
    case kSharingViolation:
    case kDeletePending:
    case kCannotDelete:
      return RelativeResult::Denied;
    case kFileIsADirectory:
    case kNotADirectory:
      return RelativeResult::WrongKind;
    case kNameInvalid:
      return RelativeResult::BadName;
    default:
      return RelativeResult::Failed;
  }
}

UNICODE_STRING Counted(const std::wstring& name) {
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.c_str());
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  return text;
}

// FILE_RENAME_INFORMATION and FILE_LINK_INFORMATION have the same layout (a flag, the root
// folder, the name's length, the name), and both name the new name relative to RootDirectory.
template <typename Information>
bool SetName(HANDLE file, HANDLE folder, const std::wstring& name, bool replace,
             FILE_INFORMATION_CLASS kind) {
  if (!IsBareName(name)) return false;
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(offsetof(Information, FileName) + bytes + sizeof(wchar_t));
  auto* information = reinterpret_cast<Information*>(buffer.data());
  information->ReplaceIfExists = replace ? TRUE : FALSE;
  information->RootDirectory = folder;
  information->FileNameLength = static_cast<ULONG>(bytes);
  std::memcpy(information->FileName, name.data(), bytes);
  IO_STATUS_BLOCK io{};
  return NtSetInformationFile(file, &io, information, static_cast<ULONG>(buffer.size()), kind) >= 0;
}

}  // namespace

bool IsBareName(const std::wstring& name) {
  return !name.empty() && name.size() < 0x7FFF && name != L"." && name != L".." &&
         name.find_first_of(L"\\/:") == std::wstring::npos;
}

RelativeResult OpenRelative(HANDLE folder, const std::wstring& name, const RelativeOpen& how,
                            Handle& opened) {
  if (!IsBareName(name)) return RelativeResult::BadName;
  UNICODE_STRING text = Counted(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, how.security);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status = NtCreateFile(
      &handle, how.access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr,
      FILE_ATTRIBUTE_NORMAL, how.share, how.disposition,
      how.options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status < 0) return FromStatus(status);
  opened = Handle(handle);
  return RelativeResult::Done;
}

// The folder's own entry for the name, from a listing restricted to the name: nothing is
// opened by name, so nothing is followed. The listing goes through a second handle to the
// same folder (reopened by handle, not by path), because a folder handle keeps the name mask
// of its first listing and would answer every later name with the first one's entry.
bool NameIsReparsePoint(HANDLE folder, const std::wstring& name) {
  if (!IsBareName(name) || name.find_first_of(L"*?<>\"") != std::wstring::npos) return true;
  const Handle listing(ReOpenFile(folder, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  FILE_FLAG_BACKUP_SEMANTICS));
  if (!listing.Valid()) return true;
  UNICODE_STRING mask = Counted(name);
  std::vector<ULONGLONG> buffer((sizeof(FILE_DIRECTORY_INFORMATION) + 2 * 0x8000) /
                                sizeof(ULONGLONG));
  IO_STATUS_BLOCK io{};
  if (NtQueryDirectoryFile(listing.Get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                           static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)),
                           FileDirectoryInformation, TRUE, &mask, FALSE) < 0) {
    return true;
  }
  const auto* entry = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(buffer.data());
  return (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool ListNames(HANDLE folder, std::vector<std::wstring>& names) {
  constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
  const Handle listing(ReOpenFile(folder, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  FILE_FLAG_BACKUP_SEMANTICS));
  if (!listing.Valid()) return false;
  std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
  for (BOOLEAN restart = TRUE;; restart = FALSE) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtQueryDirectoryFile(
        listing.Get(), nullptr, nullptr, nullptr, &io, buffer.data(),
        static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)), FileDirectoryInformation, FALSE,
        nullptr, restart);
    if (status == kNoMoreFiles) return true;
    if (status < 0) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (std::size_t offset = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(bytes + offset);
      std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
}

bool RenameRelative(HANDLE file, HANDLE folder, const std::wstring& name, bool replace) {
  return SetName<FILE_RENAME_INFORMATION>(file, folder, name, replace, FileRenameInformation);
}

bool LinkRelative(HANDLE file, HANDLE folder, const std::wstring& name) {
  return SetName<FILE_LINK_INFORMATION>(file, folder, name, false, FileLinkInformation);
}

RelativeResult MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFORMATION remove{TRUE};
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      NtSetInformationFile(handle, &io, &remove, sizeof remove, FileDispositionInformation);
  return status < 0 ? FromStatus(status) : RelativeResult::Done;
}

}  // namespace corvane
