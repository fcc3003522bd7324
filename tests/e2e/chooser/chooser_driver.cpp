// Drives the setup's folder chooser from outside, one command per run, for the scenario script.
//   browse                 enable the setup's browse button (control 1000), click it, wait for
//                          the chooser to be visible
//   state                  print the chooser's caption, path display, free-space text, focus
//                          ("tree" or "other"), selected item ("(none)" without one), the
//                          expanded items from drive C down ("|"-joined) and the drive labels
//                          ("|"-joined), one per line
//   choose PATH            click the node of PATH (expanding its ancestors); print the display
//   select PATH            select the node of PATH with TVM_SELECTITEM sent from this process,
//                          as accessibility and automation tools do; print the display
//   collapse PATH          collapse the node of PATH (TVM_EXPAND); print the display
//   keys KEY...            press keys one after the other, each posted to the control that has
//                          the focus then, as the keyboard delivers them: tab, up, down, left,
//                          right, home, end, pgup, pgdn, enter, or a letter a-z
//   place                  print how far the chooser's centre lies from the screen's centre,
//                          in pixels: "dx dy"
//   children PATH          expand the node of PATH; print its children's texts, one per line
//   expand PATH            ask for the node of PATH to be expanded and return at once (reading
//                          it may put up a message box, which the script then answers)
//   ok | cancel | esc      leave the chooser that way and wait until it has gone
//   edit                   print the setup's install-path edit (control 1001)
//   mkdir PATH             create a folder
// PATH arguments may be given as "hex:" followed by the UTF-8 bytes in hex. Output is UTF-8.
// Exit status 0 on success, 1 on a missing window or node, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/driver/win_driver.h"
#include "resources/resource_ids.h"
#include "system/win32/wide.h"

namespace {

using namespace corvane::e2e;
using corvane::FromWide;
using corvane::ToWide;

constexpr wchar_t kSetupTitle[] = L"Setup Corvane";
constexpr wchar_t kChooserTitle[] = L"Setup Folder";

void Out(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputs("\n", stdout);
}

std::string Argument(const wchar_t* arg) {
  std::string text = FromWide(arg);
  if (text.rfind("hex:", 0) != 0) return text;
  std::string bytes;
  for (std::size_t i = 4; i + 1 < text.size(); i += 2) {
    bytes += static_cast<char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16));
  }
  return bytes;
}

bool SameLetters(const std::string& a, const std::string& b) {
  return CompareStringOrdinal(ToWide(a).c_str(), -1, ToWide(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// What a node contributes to a path: a drive label "Name (C:)" gives "C:".
std::string NodeName(HWND tree, HTREEITEM item) {
  const std::string text = ItemText(tree, item);
  if (NextItem(tree, TVGN_PARENT, item) != nullptr || text.size() < 3) return text;
  return text.substr(text.size() - 3, 2);
}

// The node of a path such as C:\Data\Projects, expanding (and so reading) its ancestors.
HTREEITEM Resolve(HWND tree, const std::string& path) {
  HTREEITEM current = nullptr;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    if (current != nullptr) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(current),
                          SMTO_BLOCK, 10000, &ignored);
    }
    HTREEITEM match = nullptr;
    for (HTREEITEM item : Children(tree, current)) {
      if (SameLetters(NodeName(tree, item), component)) {
        match = item;
        break;
      }
    }
    if (match == nullptr) return nullptr;
    current = match;
  }
  return current;
}

int PrintState(HWND chooser) {
  HWND tree = GetDlgItem(chooser, IDC_CHOOSER_TREE);
  Out(Utf8(WindowText(chooser)));
  Out(ControlText(chooser, IDC_CHOOSER_PATH_DISPLAY));
  Out(ControlText(chooser, IDC_CHOOSER_FREE_SPACE));
  Out(FocusOf(chooser) == tree ? "tree" : "other");
  HTREEITEM selected = NextItem(tree, TVGN_CARET, nullptr);
  Out(selected != nullptr ? ItemText(tree, selected) : "(none)");
  auto joined = [](const std::vector<std::string>& texts) {
    std::string line;
    for (const std::string& text : texts) line += (line.empty() ? "" : "|") + text;
    return line;
  };
  Out(joined(ExpandedChain(tree, DriveC(tree))));
  std::vector<std::string> drives;
  for (HTREEITEM drive : Children(tree, nullptr)) drives.push_back(ItemText(tree, drive));
  Out(joined(drives));
  return 0;
}

// The virtual key of a key name of the "keys" command; 0 for an unknown name.
UINT VirtualKey(const std::wstring& name) {
  struct Named {
    const wchar_t* name;
    UINT key;
  };
  static const Named kKeys[] = {{L"tab", VK_TAB},     {L"up", VK_UP},       {L"down", VK_DOWN},
                                {L"left", VK_LEFT},   {L"right", VK_RIGHT}, {L"home", VK_HOME},
                                {L"end", VK_END},     {L"pgup", VK_PRIOR},  {L"pgdn", VK_NEXT},
                                {L"enter", VK_RETURN}};
  for (const Named& k : kKeys) {
    if (name == k.name) return k.key;
  }
  if (name.size() == 1 && name[0] >= L'a' && name[0] <= L'z') return L'A' + (name[0] - L'a');
  return 0;
}

// Posts one key press to the window that has the keyboard focus in the chooser's thread, then
// waits until the focus or the tree's selection has moved or the chooser has gone, so that the
// next key goes where this one left the focus (a key that moves nothing costs the deadline).
// The focus is waited for when the thread reports none (window activation under X arrives
// late); a focus outside the chooser is refused, so that a key never lands elsewhere.
bool PressKey(HWND chooser, UINT key) {
  HWND tree = GetDlgItem(chooser, IDC_CHOOSER_TREE);
  HWND focus = WaitFor([&] { return FocusOf(chooser); }, 3000);
  if (focus == nullptr || (focus != chooser && !IsChild(chooser, focus))) return false;
  HTREEITEM selected = NextItem(tree, TVGN_CARET, nullptr);
  if (!PostKey(focus, key)) return false;
  WaitFor(
      [&] {
        return !IsWindow(chooser) || FocusOf(chooser) != focus ||
               NextItem(tree, TVGN_CARET, nullptr) != selected;
      },
      2000);
  return true;
}

int Leave(HWND chooser, const std::wstring& how) {
  if (how == L"ok") {
    Press(chooser, IDOK);
  } else if (how == L"cancel") {
    Press(chooser, IDCANCEL);
  } else {
    PressEscape(chooser);
  }
  return WaitGone(chooser, 10000) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring cmd = argv[1];

  if (cmd == L"mkdir" && argc >= 3) {
    return CreateDirectoryW(ToWide(Argument(argv[2])).c_str(), nullptr) ||
                   GetLastError() == ERROR_ALREADY_EXISTS
               ? 0
               : 1;
  }

  if (cmd == L"browse" || cmd == L"edit") {
    HWND setup = WaitForDialog(kSetupTitle, 20000);
    if (setup == nullptr) return 1;
    if (cmd == L"edit") {
      Out(ControlText(setup, IDC_SETUP_INSTALL_PATH));
      return 0;
    }
    // The setup keeps its browse button disabled; enable it from here and click it.
    HWND button = nullptr;
    for (const auto& control : Controls(setup)) {
      if (control.id == IDC_SETUP_ICON_FRAME && _wcsicmp(control.cls.c_str(), L"Button") == 0) {
        button = control.hwnd;
      }
    }
    if (button == nullptr) return 1;
    EnableWindow(button, TRUE);
    PostMessageW(button, BM_CLICK, 0, 0);
    return WaitForDialog(kChooserTitle, 20000) != nullptr ? 0 : 1;
  }

  HWND chooser = WaitForDialog(kChooserTitle, 10000);
  if (chooser == nullptr) return 1;
  HWND tree = GetDlgItem(chooser, IDC_CHOOSER_TREE);
  if (cmd == L"state") return PrintState(chooser);
  if (cmd == L"ok" || cmd == L"cancel" || cmd == L"esc") {
    return Leave(chooser, cmd);
  }
  if (cmd == L"keys") {
    for (int i = 2; i < argc; ++i) {
      const UINT key = VirtualKey(argv[i]);
      if (key == 0) return 2;
      if (!PressKey(chooser, key)) return 1;
    }
    return 0;
  }
  if (cmd == L"place") {
    RECT r{};
    GetWindowRect(chooser, &r);
    const int dx = (r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
    const int dy = (r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
    Out(std::to_string(dx) + " " + std::to_string(dy));
    return 0;
  }
  if ((cmd == L"choose" || cmd == L"children" || cmd == L"expand" || cmd == L"select" ||
       cmd == L"collapse") &&
      argc >= 3) {
    HTREEITEM node = Resolve(tree, Argument(argv[2]));
    if (node == nullptr) return 1;
    if (cmd == L"expand") return PostExpand(tree, node), 0;
    if (cmd == L"select" || cmd == L"collapse") {
      DWORD_PTR ignored = 0;
      if (cmd == L"select") {
        SendMessageTimeoutW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node),
                            SMTO_BLOCK, 10000, &ignored);
      } else {
        SendMessageTimeoutW(tree, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(node),
                            SMTO_BLOCK, 10000, &ignored);
      }
      Out(ControlText(chooser, IDC_CHOOSER_PATH_DISPLAY));
      return 0;
    }
    if (cmd == L"choose") {
      if (!ClickItem(tree, node)) return 1;
      Out(ControlText(chooser, IDC_CHOOSER_PATH_DISPLAY));
      return 0;
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(node), SMTO_BLOCK,
                        10000, &ignored);
    for (HTREEITEM child : Children(tree, node)) Out(ItemText(tree, child));
    return 0;
  }
  return 2;
}
