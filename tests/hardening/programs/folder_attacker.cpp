// Another user's program racing the setup for its data folder (Win32, so that share modes
// apply to it as they would on Windows).
//
// premake FOLDER READY RELEASE OUT
//   Makes FOLDER (its parent must exist) open to everyone, with a file in it, and keeps a
//   handle to it with WRITE_DAC. Creates READY, waits for RELEASE (at most 120 s), then grants
//   itself full control again through that handle and writes to OUT which folder the handle
//   names by then and whether the grant worked.
// swap FOLDER ASIDE DECOY STOP OUT
//   Waits until FOLDER is held by someone (a delete open fails with a sharing violation), then,
//   until STOP exists, keeps trying to rename FOLDER to ASIDE and to put DECOY (a link made
//   beforehand) in its place. Writes "waiting" to OUT at its start, and at its end the number
//   of refused and of successful renames.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

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

int Swap(wchar_t** argv) {
  // OUT says it is running before the setup starts; the counts replace this line at the end.
  WriteText(argv[6], "waiting\r\n");
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
    if (Exists(argv[5])) return 1;
    Sleep(20);
  }
  long refused = 0, moved = 0;
  while (!Exists(argv[5])) {
    if (MoveFileExW(argv[2], argv[3], 0)) {
      ++moved;
      MoveFileExW(argv[4], argv[2], 0);
    } else {
      ++refused;
    }
    Sleep(1);
  }
  char out[64];
  std::snprintf(out, sizeof(out), "refused %ld\r\nmoved %ld\r\n", refused, moved);
  WriteText(argv[6], out);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 6 && lstrcmpW(argv[1], L"premake") == 0) return Premake(argv);
  if (argc == 7 && lstrcmpW(argv[1], L"swap") == 0) return Swap(argv);
  return 2;
}
