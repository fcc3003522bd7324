// Prints the owner and access list of each path given, one line each, as security descriptor
// text read with GetNamedSecurityInfoW. Exits 1 when one cannot be read.
// With --set TEXT PATH it gives PATH the owner and access list of TEXT instead (as a user who
// made the folder could), and exits 1 when that fails.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && lstrcmpW(argv[1], L"--set") == 0) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[2], SDDL_REVISION_1, &sd,
                                                              nullptr)) {
      return 1;
    }
    const BOOL ok =
        SetFileSecurityW(argv[3], OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
    return ok ? 0 : 1;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    const DWORD error = GetNamedSecurityInfoW(argv[i], SE_FILE_OBJECT, what, nullptr, nullptr,
                                              nullptr, nullptr, &sd);
    LPWSTR text = nullptr;
    if (error != ERROR_SUCCESS || !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                      sd, SDDL_REVISION_1, what, &text, nullptr)) {
      std::printf("unreadable %lu\n", error != ERROR_SUCCESS ? error : GetLastError());
      status = 1;
    } else {
      std::printf("%ls\n", text);
      LocalFree(text);
    }
    if (sd) LocalFree(sd);
  }
  return status;
}
