// A DLL that stands for one planted by someone else next to the setup or in the current folder.
// When any process loads it, it appends "process path|its own path" to the file named by
// CORVANE_PLANT_LOG and otherwise does nothing. It needs only kernel32, so it loads under any
// name without resolving exports that the process expected from the real DLL.
#include <windows.h>

namespace {

// Appends the UTF-8 form of `text` (n UTF-16 units) to `out`; false when it does not fit.
bool AppendUtf8(const wchar_t* text, int n, char* out, int& used, int capacity) {
  const int wrote =
      WideCharToMultiByte(CP_UTF8, 0, text, n, out + used, capacity - used, nullptr, nullptr);
  if (wrote <= 0) return false;
  used += wrote;
  return true;
}

void RecordLoad(HINSTANCE self) {
  wchar_t log[MAX_PATH];
  const DWORD logLength = GetEnvironmentVariableW(L"CORVANE_PLANT_LOG", log, MAX_PATH);
  if (logLength == 0 || logLength >= MAX_PATH) return;

  wchar_t exe[MAX_PATH];
  wchar_t dll[MAX_PATH];
  const DWORD exeLength = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const DWORD dllLength = GetModuleFileNameW(self, dll, MAX_PATH);
  char line[4 * 2 * MAX_PATH + 8];
  int used = 0;
  const int capacity = static_cast<int>(sizeof(line)) - 3;
  if (exeLength > 0 && !AppendUtf8(exe, static_cast<int>(exeLength), line, used, capacity)) return;
  line[used++] = '|';
  if (dllLength > 0 && !AppendUtf8(dll, static_cast<int>(dllLength), line, used, capacity)) return;
  line[used++] = '\r';
  line[used++] = '\n';

  // Several processes may load planted copies at once: append with shared access.
  HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(used), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) RecordLoad(self);
  return TRUE;
}
