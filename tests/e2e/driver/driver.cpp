// The end-to-end driver: one command per run, for the scenario scripts.
//   wait TITLE [MS]            wait for the dialog to be visible
//   gone TITLE [MS]            wait until it has gone
//   dump TITLE                 print "id|class|visible|enabled|text" per control
//   press TITLE ID             post the button's click
//   esc TITLE                  press Esc in the dialog
//   close TITLE                the close box (WM_CLOSE)
//   rect TITLE                 print the window's screen rectangle "W H X Y"
//   box NOT_TITLE [MS]         wait for a message box (any other dialog); print caption, text
//   answer NOT_TITLE ID        press a button of that message box, wait until it has closed
//   front TITLE [MS]           wait until a dialog with that caption is the foreground window
//   steal MS                   hold the foreground with a window of its own for MS ms
// Texts are printed as UTF-8 with CR and LF written as \r and \n. Exit status 0 on success,
// 1 on timeout or a missing window, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win_driver.h"

namespace {

using namespace corvane::e2e;

void Print(const std::wstring& s) {
  std::string out;
  for (char c : Utf8(s)) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

DWORD Timeout(int argc, wchar_t** argv, int index) {
  return argc > index ? static_cast<DWORD>(_wtoi(argv[index])) : 20000;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring cmd = argv[1];
  const wchar_t* title = argv[2];
  auto find = [&] { return FindDialog(title); };
  auto findBox = [&] { return FindDialog(nullptr, title); };

  if (cmd == L"steal") {
    HWND own = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"driver", WS_POPUP | WS_VISIBLE, 0, 0,
                               40, 40, nullptr, nullptr, nullptr, nullptr);
    if (!own || !SetForegroundWindow(own)) return 1;
    std::puts("stolen");
    std::fflush(stdout);
    const DWORD until = GetTickCount() + static_cast<DWORD>(_wtoi(title));
    MSG msg;
    while (GetTickCount() < until) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      Sleep(20);
    }
    DestroyWindow(own);
    return 0;
  }
  if (cmd == L"front") {
    auto front = [&]() -> HWND {
      HWND fg = GetForegroundWindow();
      return fg != nullptr && ClassOf(fg) == L"#32770" && WindowText(fg) == title ? fg : nullptr;
    };
    return WaitFor(front, Timeout(argc, argv, 3)) ? 0 : 1;
  }
  if (cmd == L"wait") return WaitFor(find, Timeout(argc, argv, 3)) ? 0 : 1;
  if (cmd == L"gone") {
    return WaitFor([&] { return FindDialog(title) == nullptr; }, Timeout(argc, argv, 3)) ? 0 : 1;
  }
  if (cmd == L"box") {
    HWND box = WaitFor(findBox, Timeout(argc, argv, 3));
    if (!box) return 1;
    Print(WindowText(box));
    std::fputs("\n", stdout);
    Print(MessageBoxText(box));
    std::fputs("\n", stdout);
    return 0;
  }
  if (cmd == L"answer" && argc >= 4) {
    // Returns once the box has closed, so that what the answer starts has begun.
    HWND box = WaitFor(findBox, 5000);
    if (!box || !Press(box, _wtoi(argv[3]))) return 1;
    return WaitGone(box, 10000) ? 0 : 1;
  }

  HWND dlg = WaitFor(find, 5000);
  if (!dlg) return 1;
  if (cmd == L"dump") {
    for (const Control& c : Controls(dlg)) {
      std::printf("%d|", c.id);
      Print(c.cls);
      std::printf("|%d|%d|", c.visible ? 1 : 0, c.enabled ? 1 : 0);
      Print(c.text);
      std::fputs("\n", stdout);
    }
    return 0;
  }
  if (cmd == L"press" && argc >= 4) return Press(dlg, _wtoi(argv[3])) ? 0 : 1;
  if (cmd == L"esc") return PressEscape(dlg) ? 0 : 1;
  if (cmd == L"rect") {
    RECT r{};
    GetWindowRect(dlg, &r);
    std::printf("%ld %ld %ld %ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
  }
  if (cmd == L"close") return PostMessageW(dlg, WM_CLOSE, 0, 0) ? 0 : 1;
  return 2;
}
