// Stand-in for one of the product's programs: a window that says which program it is.
//
// When the environment variable CORVANE_START_LOG names a file, the program appends one line
// "<exe file name>|<full module path>|<current directory>|<enabled privileges>|<parent>\r\n"
// (UTF-8, the privileges' names each followed by a comma, the parent as the full path of the
// program that started this one) to it and exits at once without a window, so that automated
// runs can see which program was started, from where, by whom and with which rights.
// No C++ runtime is used: the three programs stay a few kilobytes each.
#include "stand_in.h"

#include <tlhelp32.h>

namespace {

const wchar_t* g_text = L"";

constexpr DWORD kPathChars = 32768;  // the longest path the wide API can hand out

// Appends `text` (UTF-16, `units` long) to `file` as UTF-8.
bool AppendUtf8(HANDLE file, const wchar_t* text, int units) {
  if (units == 0) return true;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  HANDLE heap = GetProcessHeap();
  auto* buffer = static_cast<char*>(HeapAlloc(heap, 0, static_cast<SIZE_T>(bytes)));
  if (buffer == nullptr) return false;
  WideCharToMultiByte(CP_UTF8, 0, text, units, buffer, bytes, nullptr, nullptr);
  DWORD written = 0;
  const BOOL ok = WriteFile(file, buffer, static_cast<DWORD>(bytes), &written, nullptr);
  HeapFree(heap, 0, buffer);
  return ok != FALSE;
}

// The names of the privileges enabled in the process token, each followed by a comma.
void AppendEnabledPrivileges(HANDLE file) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  HANDLE heap = GetProcessHeap();
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  auto* privileges = size ? static_cast<TOKEN_PRIVILEGES*>(HeapAlloc(heap, 0, size)) : nullptr;
  if (privileges != nullptr &&
      GetTokenInformation(token, TokenPrivileges, privileges, size, &size)) {
    for (DWORD k = 0; k < privileges->PrivilegeCount; ++k) {
      if (!(privileges->Privileges[k].Attributes & SE_PRIVILEGE_ENABLED)) continue;
      wchar_t name[64];
      DWORD units = 64;
      if (LookupPrivilegeNameW(nullptr, &privileges->Privileges[k].Luid, name, &units)) {
        AppendUtf8(file, name, static_cast<int>(units));
        AppendUtf8(file, L",", 1);
      }
    }
  }
  if (privileges != nullptr) HeapFree(heap, 0, privileges);
  CloseHandle(token);
}

// The full path of the program that started this one, or nothing when it has ended.
void AppendParentImage(HANDLE file, wchar_t* buffer) {
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(processes, &entry); more && parent == 0;
       more = Process32NextW(processes, &entry)) {
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
  }
  CloseHandle(processes);
  HANDLE process = parent ? OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent) : nullptr;
  if (process == nullptr) return;
  DWORD units = kPathChars;
  if (QueryFullProcessImageNameW(process, 0, buffer, &units)) {
    AppendUtf8(file, buffer, static_cast<int>(units));
  }
  CloseHandle(process);
}

// One record of the start log. Returns false when CORVANE_START_LOG is not set.
bool LogStart() {
  HANDLE heap = GetProcessHeap();
  auto* logPath = static_cast<wchar_t*>(HeapAlloc(heap, 0, kPathChars * sizeof(wchar_t)));
  auto* module = static_cast<wchar_t*>(HeapAlloc(heap, 0, kPathChars * sizeof(wchar_t)));
  auto* current = static_cast<wchar_t*>(HeapAlloc(heap, 0, kPathChars * sizeof(wchar_t)));
  bool logged = false;
  if (logPath != nullptr && module != nullptr && current != nullptr) {
    const DWORD n = GetEnvironmentVariableW(L"CORVANE_START_LOG", logPath, kPathChars);
    if (n > 0 && n < kPathChars) {
      logged = true;
      const DWORD moduleLen = GetModuleFileNameW(nullptr, module, kPathChars);
      const DWORD currentLen = GetCurrentDirectoryW(kPathChars, current);
      DWORD nameStart = 0;
      for (DWORD i = 0; i < moduleLen; ++i) {
        if (module[i] == L'\\' || module[i] == L'/') nameStart = i + 1;
      }
      // Appending writers never overwrite each other's lines, even when started together.
      HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        AppendUtf8(file, module + nameStart, static_cast<int>(moduleLen - nameStart));
        AppendUtf8(file, L"|", 1);
        AppendUtf8(file, module, static_cast<int>(moduleLen));
        AppendUtf8(file, L"|", 1);
        AppendUtf8(file, current, currentLen < kPathChars ? static_cast<int>(currentLen) : 0);
        AppendUtf8(file, L"|", 1);
        AppendEnabledPrivileges(file);
        AppendUtf8(file, L"|", 1);
        AppendParentImage(file, current);
        AppendUtf8(file, L"\r\n", 2);
        CloseHandle(file);
      }
    }
  }
  HeapFree(heap, 0, current);
  HeapFree(heap, 0, module);
  HeapFree(heap, 0, logPath);
  return logged;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      SetBkMode(dc, TRANSPARENT);
      // DT_VCENTER only centres single lines: measure the wrapped text and place it.
      RECT text = rc;
      DrawTextW(dc, g_text, -1, &text, DT_CENTER | DT_WORDBREAK | DT_CALCRECT);
      const LONG top = (rc.bottom - rc.top - (text.bottom - text.top)) / 2;
      if (top > 0) rc.top += top;
      DrawTextW(dc, g_text, -1, &rc, DT_CENTER | DT_WORDBREAK);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int RunStandIn(HINSTANCE instance, int show, const wchar_t* title, const wchar_t* text) {
  if (LogStart()) return 0;
  g_text = text;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"CorvaneStandIn";
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 480, 200, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
