// Helpers for driving another process's dialogs from a test program: find top-level dialogs
// and message boxes, read their controls, press buttons through window messages, wait with
// timeouts. Header-only so that every scenario driver can include it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corvane::e2e {

struct Control {
  HWND hwnd = nullptr;
  int id = 0;
  std::wstring cls;
  std::wstring text;
  bool visible = false;
  bool enabled = false;
};

// WM_GETTEXT rather than GetWindowText: for another process's controls GetWindowText gives
// only the stored caption, which an edit control does not keep.
inline std::wstring WindowText(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return {};
  std::wstring s(static_cast<std::size_t>(len) + 1, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()),
                           SMTO_ABORTIFHUNG, 2000, &got)) {
    return {};
  }
  s.resize(static_cast<std::size_t>(got));
  return s;
}

inline std::wstring ClassOf(HWND h) {
  wchar_t buf[128] = {};
  GetClassNameW(h, buf, 128);
  return buf;
}

// Direct children in z-order.
inline std::vector<Control> Controls(HWND dlg) {
  std::vector<Control> out;
  for (HWND h = GetWindow(dlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    Control c;
    c.hwnd = h;
    c.id = GetDlgCtrlID(h);
    c.cls = ClassOf(h);
    c.text = WindowText(h);
    c.visible = IsWindowVisible(h) != FALSE;
    c.enabled = IsWindowEnabled(h) != FALSE;
    out.push_back(c);
  }
  return out;
}

struct FindState {
  const wchar_t* title;  // null: any title
  const wchar_t* notTitle;
  HWND found;
};

inline BOOL CALLBACK FindDialogProc(HWND h, LPARAM p) {
  auto* s = reinterpret_cast<FindState*>(p);
  if (ClassOf(h) != L"#32770" || !IsWindowVisible(h)) return TRUE;
  const std::wstring t = WindowText(h);
  if (s->title && t != s->title) return TRUE;
  if (s->notTitle && t == s->notTitle) return TRUE;
  s->found = h;
  return FALSE;
}

// A visible top-level dialog with this caption (null: any), other than `notTitle`.
inline HWND FindDialog(const wchar_t* title, const wchar_t* notTitle = nullptr) {
  FindState s{title, notTitle, nullptr};
  EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Polls `probe` until it gives a window or `timeoutMs` passes.
template <typename Probe>
HWND WaitFor(Probe probe, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND h = probe()) return h;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

// Waits until no visible dialog with this caption remains.
inline bool WaitGone(const wchar_t* title, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (FindDialog(title)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

// The text of a message box: its static controls with text, joined by newlines.
inline std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (const Control& c : Controls(box)) {
    if (_wcsicmp(c.cls.c_str(), L"Static") == 0 && !c.text.empty()) {
      if (!text.empty()) text += L"\n";
      text += c.text;
    }
  }
  return text;
}

// A button press as the button itself reports it.
inline bool Press(HWND dlg, int id) {
  HWND button = GetDlgItem(dlg, id);
  return PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != FALSE;
}

// Esc as the dialog's keyboard handling sees it: a key press on its focused control.
inline bool PressEscape(HWND dlg) {
  DWORD thread = GetWindowThreadProcessId(dlg, nullptr);
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  HWND target = dlg;
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus) target = info.hwndFocus;
  return PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != FALSE &&
         PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001) != FALSE;
}

}  // namespace corvane::e2e
