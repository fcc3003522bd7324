// Helpers for driving dialogs from a test program, in another process or on another thread:
// find top-level dialogs and message boxes, read their controls and tree views, press buttons
// and keys through window messages, wait for a state with a deadline. Header-only and on the
// system's calls alone, so that every driver and test program can include it.
#pragma once

#include <windows.h>

#include <commctrl.h>

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
  LONG style = 0;
  LONG exStyle = 0;
  RECT units{};  // x, y, width and height in the dialog's units
};

// A rectangle in the dialog's client pixels as x, y, width and height in its dialog units.
inline RECT DialogUnits(HWND dlg, RECT r) {
  RECT unit{0, 0, 4, 8};
  MapDialogRect(dlg, &unit);
  return RECT{MulDiv(r.left, 4, unit.right), MulDiv(r.top, 8, unit.bottom),
              MulDiv(r.right - r.left, 4, unit.right), MulDiv(r.bottom - r.top, 8, unit.bottom)};
}

inline std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

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

inline std::string ControlText(HWND dialog, int id) {
  return Utf8(WindowText(GetDlgItem(dialog, id)));
}

inline std::wstring ClassOf(HWND h) {
  wchar_t buf[128] = {};
  GetClassNameW(h, buf, 128);
  return buf;
}

// Direct children in z-order (tab order in a dialog).
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
    c.style = GetWindowLongW(h, GWL_STYLE);
    c.exStyle = GetWindowLongW(h, GWL_EXSTYLE);
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    c.units = DialogUnits(dlg, r);
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

// Polls `probe` until it gives a window, a node or true, or `timeoutMs` passes (then null or
// false).
template <typename Probe>
auto WaitFor(Probe probe, DWORD timeoutMs) -> decltype(probe()) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (auto got = probe()) return got;
    if (GetTickCount() - start >= timeoutMs) return {};
    Sleep(50);
  }
}

inline HWND WaitForDialog(const wchar_t* title, DWORD timeoutMs = 20000) {
  return WaitFor([&] { return FindDialog(title); }, timeoutMs);
}

// Waits until `window` has been destroyed.
inline bool WaitGone(HWND window, DWORD timeoutMs = 20000) {
  return WaitFor([&] { return !IsWindow(window); }, timeoutMs);
}

// Waits until the control shows `text` (UTF-8); false when it still shows something else.
inline bool WaitForText(HWND dialog, int id, const std::string& text, DWORD timeoutMs = 5000) {
  return WaitFor([&] { return ControlText(dialog, id) == text; }, timeoutMs);
}

// The window with the keyboard focus in `window`'s thread, null when there is none.
inline HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
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
  HWND target = FocusOf(dlg);
  if (target == nullptr) target = dlg;
  return PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != FALSE &&
         PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001) != FALSE;
}

inline bool PressCloseBox(HWND dlg) { return PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }

// One key press posted to `window`, as the keyboard delivers it to the window with the focus:
// the dialog's message loop hands Tab and Enter to the dialog manager and turns letters into
// characters. No message tells another thread when a posted key has been handled: callers wait
// for the state the key leads to.
inline bool PostKey(HWND window, UINT key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  // A key that ends the dialog (Enter) may have destroyed the window before its key-up is
  // posted: the key-down is what counts.
  return PostMessageW(window, WM_KEYDOWN, key, scan | 1) &&
         (PostMessageW(window, WM_KEYUP, key, scan | 0xC0000001) || !IsWindow(window));
}

// Tree views. Tree messages that carry a pointer get their buffer in the tree's own process.

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
  // Reads from this buffer, or from any other address of the process.
  bool Read(const void* from, void* data, SIZE_T size) {
    return ReadProcessMemory(process_, from, data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_ = nullptr;
  char* address_ = nullptr;
};

// The item's text (UTF-8).
inline std::string ItemText(HWND tree, HTREEITEM item) {
  RemoteMemory memory(tree, sizeof(TVITEMW) + 260 * sizeof(wchar_t));
  if (!memory.Ok()) return "(unreadable)";
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof(TVITEMW)));
  data.cchTextMax = 260;
  wchar_t buffer[260] = {};
  memory.Write(0, &data, sizeof data);
  memory.Write(sizeof(TVITEMW), buffer, sizeof(wchar_t));
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.At(0)));
  // The control may point pszText at its own copy instead of filling the buffer.
  memory.Read(memory.At(0), &data, sizeof data);
  memory.Read(data.pszText, buffer, sizeof buffer - sizeof(wchar_t));
  return Utf8(buffer);
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
  memory.Read(memory.At(0), &rect, sizeof rect);
  return rect;
}

// Selects an item the way a user does, with a click on its text; true once it is selected.
inline bool ClickItem(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
  const RECT r = ItemTextRect(tree, item);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tree, WM_LBUTTONUP, 0, at);
  return WaitFor([&] { return NextItem(tree, TVGN_CARET, nullptr) == item; }, 5000);
}

// The node of drive C: its label is "C:" or ends with "(C:)".
inline HTREEITEM DriveC(HWND tree) {
  for (HTREEITEM item : Children(tree, nullptr)) {
    const std::string text = ItemText(tree, item);
    if (text == "C:" || text.ends_with("(C:)")) return item;
  }
  return nullptr;
}

// The texts of `item` and of its expanded descendants, one per level (the last expanded child
// of each), as long as they are expanded.
inline std::vector<std::string> ExpandedChain(HWND tree, HTREEITEM item) {
  std::vector<std::string> texts;
  while (item != nullptr && IsExpanded(tree, item)) {
    texts.push_back(ItemText(tree, item));
    HTREEITEM next = nullptr;
    for (HTREEITEM child : Children(tree, item)) {
      if (IsExpanded(tree, child)) next = child;
    }
    item = next;
  }
  return texts;
}

// Posted, not sent: reading a folder may put up a message box that must be answered first.
inline void PostExpand(HWND tree, HTREEITEM item) {
  PostMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

}  // namespace corvane::e2e
