// A program that imports version.dll statically, a DLL outside the KnownDLLs: the import check
// must reject it.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  DWORD handle = 0;
  return argc > 1 && GetFileVersionInfoSizeW(argv[1], &handle) > 0 ? 0 : 1;
}
