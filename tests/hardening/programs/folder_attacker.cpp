// Another user's program racing the setup for its data folder (Win32, so that share modes
// apply to it as they would on Windows).
//
// premake FOLDER READY RELEASE OUT
//   Makes FOLDER (its parent must exist) open to everyone, with a file in it, and keeps a
//   handle to it with WRITE_DAC. Creates READY, waits for RELEASE (at most 120 s), then grants
//   itself full control again through that handle and writes to OUT which folder the handle
//   names by then and whether the grant worked.
// swap FOLDER ASIDE DECOY LOG TEXT OUT
//   Waits until FOLDER is held by someone (a delete open fails with a sharing violation), then,
//   until the file LOG holds TEXT (a line the setup writes while it still holds the folder; at
//   most 180 s), keeps trying to rename FOLDER to ASIDE and to put DECOY (a link made
//   beforehand) in its place. Writes "waiting" to OUT at its start, and at its end the number
//   of refused renames and of those that went through while LOG still lacked TEXT afterwards.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

namespace {

bool Exists(const wchar_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void Touch(const wchar_t* path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void WriteText(const wchar_t* path, const char* text) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD n = 0;
  WriteFile(h, text, static_cast<DWORD>(lstrlenA(text)), &n, nullptr);
  CloseHandle(h);
}

int Premake(wchar_t** argv) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                            &sd, nullptr)) {
    return 1;
  }
  if (!CreateDirectoryW(argv[2], nullptr)) return 1;
  wchar_t file[MAX_PATH];
  wsprintfW(file, L"%s\\planted.txt", argv[2]);
  WriteText(file, "the other user's file");
  HANDLE folder = CreateFileW(argv[2], READ_CONTROL | WRITE_DAC,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return 1;
  // Open to everyone (Wine 8 ignores a list given at creation; set through the handle it shows).
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  if (SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                      nullptr) != ERROR_SUCCESS) {
    return 1;
  }
  Touch(argv[3]);
  for (int i = 0; i < 1200 && !Exists(argv[4]); ++i) Sleep(100);
  const DWORD granted = SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, dacl, nullptr);
  wchar_t now[MAX_PATH] = L"?";
  GetFinalPathNameByHandleW(folder, now, MAX_PATH, 0);
  char out[2 * MAX_PATH];
  std::snprintf(out, sizeof(out), "%ls\r\ngrant %lu\r\n", now, granted);
  WriteText(argv[5], out);
  CloseHandle(folder);
  LocalFree(sd);
  return 0;
}

// Whether the file (at most 256 KiB of it) holds `text`; false while it cannot be read.
bool FileHolds(const wchar_t* path, const char* text) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  static char content[1 << 18];
  DWORD n = 0;
  content[ReadFile(h, content, sizeof content - 1, &n, nullptr) ? n : 0] = '\0';
  CloseHandle(h);
  return std::strstr(content, text) != nullptr;
}

int Swap(wchar_t** argv) {
  char text[512] = {};
  WideCharToMultiByte(CP_UTF8, 0, argv[6], -1, text, sizeof text - 1, nullptr, nullptr);
  const auto setupDone = [&] { return FileHolds(argv[5], text); };
  // OUT says it is running before the setup starts; the counts replace this line at the end.
  WriteText(argv[7], "waiting\r\n");
  // Held: a delete open that allows every other opener still fails.
  for (int i = 0; i < 1200; ++i) {
    HANDLE probe =
        CreateFileW(argv[2], DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      CloseHandle(probe);
    } else if (GetLastError() == ERROR_SHARING_VIOLATION) {
      break;
    }
    if (setupDone()) return 1;
    Sleep(20);
  }
  long refused = 0, moved = 0;
  const DWORD start = GetTickCount();
  while (!setupDone() && GetTickCount() - start < 180000) {
    if (MoveFileExW(argv[2], argv[3], 0)) {
      MoveFileExW(argv[4], argv[2], 0);
      // The line read after the rename shows the setup still at work on the folder; one that
      // is there already may have come first, and the setup lets go of the folder after it.
      if (setupDone()) break;
      ++moved;
    } else {
      ++refused;
    }
    Sleep(1);
  }
  char out[64];
  std::snprintf(out, sizeof(out), "refused %ld\r\nmoved %ld\r\n", refused, moved);
  WriteText(argv[7], out);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 6 && lstrcmpW(argv[1], L"premake") == 0) return Premake(argv);
  if (argc == 8 && lstrcmpW(argv[1], L"swap") == 0) return Swap(argv);
  return 2;
}
