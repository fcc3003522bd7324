#include "uninstall/win32/self_removal.h"

#include <windows.h>

#include <ntsecapi.h>

#include <string>
#include <vector>

#include "system/win32/file_paths.h"
#include "system/win32/handle.h"

namespace corvane {
namespace {

HANDLE AsHandle(std::uint64_t value) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

std::wstring Number(HANDLE handle) {
  return std::to_wstring(reinterpret_cast<std::uintptr_t>(handle));
}

// A name nobody can guess ahead: 128 bits from the system's generator (RtlGenRandom, without
// the crypto providers' DLLs). Users may create files in the Windows temp folder, so a
// predictable name could be taken first, as a file or as a link.
bool FreshName(std::wstring& name) {
  unsigned char bits[16] = {};
  if (!RtlGenRandom(bits, sizeof(bits))) return false;
  static const wchar_t kDigits[] = L"0123456789abcdef";
  name = L"corvane-uninstall-";
  for (const unsigned char b : bits) {
    name += kDigits[b >> 4];
    name += kDigits[b & 0xF];
  }
  name += L".exe";
  return true;
}

bool WriteWhole(HANDLE file, const std::vector<char>& bytes) {
  DWORD done = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
         done == bytes.size();
}

// The copy of `image`: a new file at `path` (CREATE_NEW: an existing name, a dangling link
// included, fails) that only Administrators and SYSTEM can open, deleted when its last handle
// is closed. Returns the one handle made by that path: inheritable, read and delete access.
//
// The kept handle has no write access, and cannot have: CreateProcessW opens the image sharing
// only read and delete, so any open handle with write access makes it fail with
// ERROR_SHARING_VIOLATION (Windows, and Wine 10 alike: seen). The bytes therefore go through a
// second handle opened from the kept one (ReOpenFile, not by path) and closed before the check.
// The kept handle must share writing for that second open; after it is closed only
// administrators and SYSTEM could open the file to write, and the started copy's image then
// refuses writers anyway.
Handle WriteAdminsOnlyCopy(const std::wstring& path, const std::vector<char>& image) {
  const LocalMemory descriptor = SecurityFromSddl(L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)");
  if (!descriptor.Valid()) return Handle();
  SECURITY_ATTRIBUTES adminsOnly{sizeof(adminsOnly), descriptor.Get(), TRUE};
  Handle keep(CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &adminsOnly, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!keep.Valid()) return keep;
  {
    const Handle writer(
        ReOpenFile(keep.Get(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, 0));
    // A partial file goes with the kept handle.
    if (!writer.Valid() || !WriteWhole(writer.Get(), image)) return Handle();
  }
  std::vector<char> check;
  if (!ReadWholeFile(keep.Get(), check) || check != image) return Handle();
  return keep;
}

}  // namespace

bool StartCleanupCopy(const std::vector<std::uint64_t>& folders) {
  std::vector<char> image;
  {
    Handle own(CreateFileW(ModulePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!own.Valid() || !ReadWholeFile(own.Get(), image)) return false;
  }
  wchar_t windows[MAX_PATH] = {};
  const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const std::wstring folder = std::wstring(windows, n) + L"\\Temp\\";
  std::wstring name;
  if (!FreshName(name)) return false;
  const std::wstring copy = folder + name;
  // Inherited by the copy: the file goes when the copy, its last holder, ends.
  const Handle keep = WriteAdminsOnlyCopy(copy, image);
  if (!keep.Valid()) return false;

  Handle me;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), me.Out(),
                       SYNCHRONIZE, TRUE, 0)) {
    return false;
  }
  std::wstring list;
  for (const std::uint64_t folderHandle : folders) {
    if (!SetHandleInformation(AsHandle(folderHandle), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
      return false;
    }
    list += (list.empty() ? L"" : L",") + std::to_wstring(folderHandle);
  }
  std::wstring command = L"\"" + copy + L"\" /CLEANUP=" + list + L" /WAIT=" + Number(me.Get());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // Started in the temp folder: a current folder inside the install folder would keep it.
  const bool started = CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, folder.c_str(), &startup, &process) != FALSE;
  for (const std::uint64_t folderHandle : folders) {
    SetHandleInformation(AsHandle(folderHandle), HANDLE_FLAG_INHERIT, 0);
  }
  if (!started) return false;
  const Handle thread(process.hThread);
  const Handle child(process.hProcess);
  return true;
}

void WaitForStarter(std::uint64_t handle) {
  if (handle == 0) return;
  const Handle starter(AsHandle(handle));
  WaitForSingleObject(starter.Get(), 60000);
}

}  // namespace corvane
