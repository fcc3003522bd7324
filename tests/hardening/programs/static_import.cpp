// A program that the static checks must reject: it imports version.dll, a DLL outside the
// KnownDLLs, and it can throw, which links libstdc++'s exception runtime.
#include <windows.h>

#include <stdexcept>

int wmain(int argc, wchar_t** argv) {
  if (argc > 2) throw std::runtime_error("one argument only");
  DWORD handle = 0;
  return argc > 1 && GetFileVersionInfoSizeW(argv[1], &handle) > 0 ? 0 : 1;
}
