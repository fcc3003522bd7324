// Looking at and steering a folder chooser window from another thread or process.
// Tree messages that carry a pointer get their buffer in the tree's own process.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "system/win32/wide.h"

namespace corvane::testing {

inline constexpr int kChooserFreeSpace = IDC_CHOOSER_FREE_SPACE;
inline constexpr int kChooserTree = IDC_CHOOSER_TREE;
inline constexpr int kChooserPathDisplay = IDC_CHOOSER_PATH_DISPLAY;

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

// A buffer in the process that owns `window`, for messages that carry a pointer.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, SIZE_T size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr) {
      address_ = static_cast<char*>(
          VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
  }
  ~RemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ok() const { return address_ != nullptr; }
  char* At(SIZE_T offset) const { return address_ + offset; }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) {
    return WriteProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T size) {
    return ReadProcessMemory(process_, At(offset), data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

inline std::string ItemText(HWND tree, HTREEITEM item) {
  RemoteMemory memory(tree, sizeof(TVITEMW) + 260 * sizeof(wchar_t));
  if (!memory.Ok()) return "(unreadable)";
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof(TVITEMW)));
  data.cchTextMax = 260;
  wchar_t empty = L'\0';
  memory.Write(0, &data, sizeof data);
  memory.Write(sizeof(TVITEMW), &empty, sizeof empty);
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.At(0)));
  // The control may point pszText at its own copy instead of filling the buffer.
  memory.Read(0, &data, sizeof data);
  wchar_t buffer[260] = {};
  if (data.pszText == reinterpret_cast<wchar_t*>(memory.At(sizeof(TVITEMW)))) {
    memory.Read(sizeof(TVITEMW), buffer, sizeof buffer);
  } else {
    DWORD pid = 0;
    GetWindowThreadProcessId(tree, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, pid);
    SIZE_T got = 0;
    ReadProcessMemory(process, data.pszText, buffer, sizeof buffer - sizeof(wchar_t), &got);
    CloseHandle(process);
  }
  buffer[259] = L'\0';
  return FromWide(buffer);
}

inline RECT ItemTextRect(HWND tree, HTREEITEM item) {
  RECT rect{};
  RemoteMemory memory(tree, sizeof(RECT));
  if (!memory.Ok()) return rect;
  // The message takes the item in the first bytes of the rectangle it fills.
  memory.Write(0, &item, sizeof item);
  if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(memory.At(0)))) {
    return RECT{};
  }
  memory.Read(0, &rect, sizeof rect);
  return rect;
}

// Selects an item the way a user does, with a click on its text; true once it is selected.
inline bool ClickItem(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  const RECT r = ItemTextRect(tree, item);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tree, WM_LBUTTONUP, 0, at);
  for (int i = 0; i < 100; ++i) {
    if (NextItem(tree, TVGN_CARET, nullptr) == item) return true;
    Sleep(50);
  }
  return false;
}

// Posted, not sent: reading a folder may put up a message box that must be answered first.
inline void PostExpand(HWND tree, HTREEITEM item) {
  PostMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

// One key press posted to `window`, as the keyboard delivers it to the window with the focus:
// the dialog's message loop hands Tab and Enter to the dialog manager and turns letters into
// characters. Waits until the dialog has handled it; letters in quick succession would make one
// search text in the tree, so they wait longer.
inline bool PostKey(HWND window, UINT key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  // A key that ends the dialog (Enter) may have destroyed the window before its key-up is
  // posted: the key-down is what counts.
  const bool posted = PostMessageW(window, WM_KEYDOWN, key, scan | 1) &&
                      (PostMessageW(window, WM_KEYUP, key, scan | 0xC0000001) || !IsWindow(window));
  Sleep(key >= 'A' && key <= 'Z' ? 700 : 200);
  return posted;
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
