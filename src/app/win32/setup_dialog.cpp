#include "app/win32/setup_dialog.h"

#include "folderdlg/win32/folder_chooser_dialog.h"
#include "system/win32/app_message_box.h"
#include "system/win32/wide.h"
#include "system/win32/window_placement.h"

namespace corvane {
namespace {

constexpr wchar_t kOldProcProperty[] = L"CorvaneBrowseProc";

// The browse button ignores gaining the focus, so it never shows a focus state or rectangle.
LRESULT CALLBACK BrowseButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto old = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kOldProcProperty));
  if (msg == WM_SETFOCUS) return 0;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropW(hwnd, kOldProcProperty);
  }
  return CallWindowProcW(old, hwnd, msg, wParam, lParam);
}

}  // namespace

SetupDialog::SetupDialog(HINSTANCE instance, SetupServices& services, GlobalPaths& paths,
                         Platform platform)
    : instance_(instance), platform_(platform), logic_(*this, services, paths) {
  windowIcon_ = LoadIconW(instance_, MAKEINTRESOURCEW(kWindowIconId));
}

INT_PTR SetupDialog::DoModal(HWND parent) {
  return DialogBoxParamW(instance_, MAKEINTRESOURCEW(kSetupDialogTemplate), parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK SetupDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SetupDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<SetupDialog*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<SetupDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (!self) return FALSE;
  const INT_PTR result = self->Handle(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) self->hwnd_ = nullptr;
  return result;
}

INT_PTR SetupDialog::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // focus to the first enabled tab stop: OK
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          logic_.OnOk();
          return TRUE;
        case IDCANCEL:  // Cancel/Close, Esc
          EndDialog(hwnd_, IDCANCEL);
          return TRUE;
        case kIdIconFrame:
          if (reinterpret_cast<HWND>(lParam) == browse_ && HIWORD(wParam) == BN_CLICKED) {
            logic_.OpenFolderChooser([this](std::string& chooserPath) {
              // Only the NT family's chooser shows the drive's free space.
              return RunFolderChooser(hwnd_, platform_ == Platform::WindowsNt, chooserPath,
                                      [](const std::string& text) { AppMessageBox(text, MB_OK); });
            });
          }
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:  // the close box, in every state
      EndDialog(hwnd_, IDCANCEL);
      return TRUE;
    case WM_SETCURSOR:
      if (waitDepth_ > 0) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(windowIcon_);
    default:
      return FALSE;
  }
}

void SetupDialog::OnInitDialog() {
  SetText(kIdDescription, logic_.descriptionText);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowIcon_));
  CreateBrowseButton();
  // The template sits at (0, 0) without DS_CENTER; like the framework, centre it.
  CenterOnScreen(hwnd_);
  logic_.InitDialog();
}

void SetupDialog::CreateBrowseButton() {
  RECT r{};
  frame_ = GetDlgItem(hwnd_, kIdIconFrame);
  GetWindowRect(frame_, &r);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  browse_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_ICON,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdIconFrame)), instance_,
                            nullptr);
  if (!browse_) return;
  // The button goes above the frame it covers, and the frame is clipped by its siblings: without
  // that the frame's background paints over the button. From here on a lookup of id 1000 finds
  // the button, so the frame is kept by handle.
  SetWindowPos(browse_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowLongW(frame_, GWL_STYLE, GetWindowLongW(frame_, GWL_STYLE) | WS_CLIPSIBLINGS);
  SetPropW(browse_, kOldProcProperty,
           reinterpret_cast<HANDLE>(GetWindowLongPtrW(browse_, GWLP_WNDPROC)));
  SetWindowLongPtrW(browse_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BrowseButtonProc));
  browseIcon_ = Icon(static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(kBrowseIconId), IMAGE_ICON, 16, 16, 0)));
  SendMessageW(browse_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(browseIcon_.Get()));
}

bool SetupDialog::OnPaint() {
  if (!IsIconic(hwnd_)) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  SendMessageW(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, windowIcon_);
  EndPaint(hwnd_, &ps);
  return true;
}

HWND SetupDialog::Control(int id) const {
  if (id == kBrowseButton) return browse_;
  if (id == kIdIconFrame) return frame_;
  return GetDlgItem(hwnd_, id);
}

std::string SetupDialog::Text(int id) {
  const HWND h = Control(id);
  const int n = GetWindowTextLengthW(h);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(h, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return FromWide(std::wstring_view(text));
}

void SetupDialog::SetText(int id, const std::string& text) {
  SetWindowTextW(Control(id), ToWide(text).c_str());
}

void SetupDialog::Show(int id, bool visible) {
  ShowWindow(Control(id), visible ? SW_SHOW : SW_HIDE);
}

void SetupDialog::Enable(int id, bool enabled) { EnableWindow(Control(id), enabled); }

void SetupDialog::GrowDescriptionUp(int pixels) {
  const HWND h = Control(kIdDescription);
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
  r.top -= pixels;
  MoveWindow(h, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

Answer SetupDialog::Ask(std::string_view text, Buttons buttons) {
  return static_cast<Answer>(AppMessageBox(text, buttons == Buttons::YesNo ? MB_YESNO : MB_OK));
}

void SetupDialog::BeginWaitCursor() {
  ++waitDepth_;
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void SetupDialog::EndWaitCursor() {
  if (waitDepth_ > 0) --waitDepth_;
  if (waitDepth_ == 0) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void SetupDialog::End(int result) { EndDialog(hwnd_, result); }

WindowRef SetupDialog::Window() { return reinterpret_cast<WindowRef>(hwnd_); }

}  // namespace corvane
