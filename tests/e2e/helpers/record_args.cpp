// Stands in for the browser: appends its command line to the file named by
// CORVANE_URL_LOG, one line per start, and exits.
#include <windows.h>

int wmain() {
  wchar_t log[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"CORVANE_URL_LOG", log, MAX_PATH)) return 1;
  HANDLE f = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const wchar_t* line = GetCommandLineW();
  char buf[2048] = {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, buf, sizeof(buf) - 2, nullptr, nullptr);
  DWORD written = 0;
  if (n > 1) {
    buf[n - 1] = '\n';
    WriteFile(f, buf, static_cast<DWORD>(n), &written, nullptr);
  }
  CloseHandle(f);
  return 0;
}
