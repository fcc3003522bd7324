// Loads DLLs by their bare names, the way careless code (or a system DLL on our behalf) does.
//   load_probe.exe [--hardened] NAME...
// Without --hardened the default search order applies, which looks in the program's own folder
// and the current folder first: the control case that shows a planted DLL gets loaded. With
// --hardened the program first restricts its search the way the setup does.
// Exit status: 0 when every name loaded, 1 when one did not, 2 on bad usage.
#include <windows.h>

#include <cwchar>

#include "system/win32/system_library.h"

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  if (argc > 1 && std::wcscmp(argv[1], L"--hardened") == 0) {
    corvane::HardenDllSearch();
    first = 2;
  }
  if (first >= argc) return 2;
  int status = 0;
  for (int i = first; i < argc; ++i) {
    if (LoadLibraryW(argv[i]) == nullptr) status = 1;
  }
  return status;
}
