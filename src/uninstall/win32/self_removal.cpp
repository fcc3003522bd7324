#include "uninstall/win32/self_removal.h"

#include <windows.h>

#include <sddl.h>

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

// A name nobody can guess ahead: time, counter and ids.
std::wstring FreshName() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const unsigned long long mix =
      static_cast<unsigned long long>(counter.QuadPart) * 0x9E3779B97F4A7C15ULL ^
      (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name = L"corvane-uninstall-";
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(mix >> shift) & 0xF];
  return name + L".exe";
}

// Writes `image` to a new file at `path` that only Administrators and SYSTEM can open.
bool WriteAdminsOnly(const std::wstring& path, const std::vector<char>& image) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES adminsOnly{sizeof(adminsOnly), descriptor, FALSE};
  Handle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &adminsOnly, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  LocalFree(descriptor);
  DWORD done = 0;
  return out.Valid() &&
         WriteFile(out.Get(), image.data(), static_cast<DWORD>(image.size()), &done, nullptr) &&
         done == image.size();
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
  const std::wstring copy = folder + FreshName();
  const bool written = WriteAdminsOnly(copy, image);

  // Inherited by the copy; deletes the file when the copy, its last holder, ends.
  // A partial file is removed by the same open.
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  Handle keep(CreateFileW(copy.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, &inherit,
                          OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!keep.Valid()) return false;
  std::vector<char> check;
  if (!written || !ReadWholeFile(keep.Get(), check) || check != image) return false;

  HANDLE me = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                       SYNCHRONIZE, TRUE, 0)) {
    return false;
  }
  const Handle meHolder(me);
  std::wstring list;
  for (const std::uint64_t folderHandle : folders) {
    if (!SetHandleInformation(AsHandle(folderHandle), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
      return false;
    }
    list += (list.empty() ? L"" : L",") + std::to_wstring(folderHandle);
  }
  std::wstring command = L"\"" + copy + L"\" /CLEANUP=" + list + L" /WAIT=" + Number(me);
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
