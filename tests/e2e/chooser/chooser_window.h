// Looking at and steering a folder chooser window from another thread or process.
// Everything here works across processes except ItemText, which passes a pointer to the tree
// and so needs the tree in the caller's own process.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "system/win32/wide.h"

namespace corvane::testing {

inline constexpr int kChooserFreeSpace = 1001;
inline constexpr int kChooserTree = 1013;
inline constexpr int kChooserPathDisplay = 1028;

inline std::string WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  // WM_GETTEXT is marshalled by the system, so this reads another process's windows too.
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 5000,
                      nullptr);
  buffer[1023] = L'\0';
  return FromWide(buffer);
}

inline std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

// The visible top-level dialog with this caption, waiting up to `timeoutMs` for it.
inline HWND WaitForDialog(const wchar_t* caption, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    HWND window = FindWindowW(L"#32770", caption);
    if (window != nullptr && IsWindowVisible(window)) return window;
    Sleep(50);
  }
  return nullptr;
}

// Waits until `window` is gone.
inline bool WaitGone(HWND window, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (!IsWindow(window)) return true;
    Sleep(50);
  }
  return false;
}

inline HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

inline std::vector<HTREEITEM> Children(HWND tree, HTREEITEM parent) {
  std::vector<HTREEITEM> items;
  HTREEITEM item =
      parent == nullptr ? NextItem(tree, TVGN_ROOT, nullptr) : NextItem(tree, TVGN_CHILD, parent);
  for (; item != nullptr; item = NextItem(tree, TVGN_NEXT, item)) items.push_back(item);
  return items;
}

inline bool IsExpanded(HWND tree, HTREEITEM item) {
  return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
          TVIS_EXPANDED) != 0;
}

// Same process only (see above).
inline std::string ItemText(HWND tree, HTREEITEM item) {
  wchar_t buffer[260] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = buffer;
  data.cchTextMax = 260;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return FromWide(data.pszText);
}

// Selects an item as a click would; the chooser then updates its path display.
inline void SelectItem(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

// Posted, not sent: reading a folder may put up a message box that must be answered first.
inline void PostExpand(HWND tree, HTREEITEM item) {
  PostMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

inline void PressOk(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); }
inline void PressCancel(HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }
// Esc arrives at the focused tree; the dialog manager turns it into Cancel.
inline void PressEscape(HWND dialog) {
  HWND tree = GetDlgItem(dialog, kChooserTree);
  PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageW(tree, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}
inline void PressCloseBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace corvane::testing
