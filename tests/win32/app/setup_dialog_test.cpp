// The setup dialog built from template 102, driven from a thread timer inside its modal loop.
#include "app/win32/setup_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e/driver/win_driver.h"
#include "host/app/app_doubles.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

using testing::EventLog;
using testing::FakeCom;
using testing::FakeFileSystem;
using testing::FakeResources;

// Runs `step` once the dialog is up (from a thread timer of its modal loop).
std::function<void(HWND)>* g_step = nullptr;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = FindWindowW(L"#32770", L"Setup Corvane");
  if (!dlg || !IsWindowVisible(dlg)) return;
  KillTimer(nullptr, id);
  (*g_step)(dlg);
}

using e2e::Control;
using e2e::ControlText;

// Every child with the given id, in z-order (the icon frame and the browse button share 1000).
std::vector<Control> ControlsWithId(HWND dlg, int id) {
  std::vector<Control> out;
  for (const Control& c : e2e::Controls(dlg)) {
    if (c.id == id) out.push_back(c);
  }
  return out;
}

class SetupDialogTest : public ::testing::Test, protected testing::AppFakes {
 protected:
  SetupDialogTest() {
    AddSystemFolders();
    resources.data[kPayloadResourceId] =
        testing::ContentPayload({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"});
  }

  // Runs the dialog; `step` sees it once it is shown and must end it.
  INT_PTR Run(std::function<void(HWND)> step) {
    g_step = &step;
    SetTimer(nullptr, 0, 50, OnTimer);
    SetupDialog dialog(GetModuleHandleW(nullptr), services, paths, Platform::WindowsNt);
    dialogLogic = &dialog.logic();
    const INT_PTR result = dialog.DoModal(nullptr);
    dialogLogic = nullptr;
    g_step = nullptr;
    return result;
  }

  GlobalPaths paths;
  SetupLogic* dialogLogic = nullptr;
};

TEST_F(SetupDialogTest, TemplateControlsAndInitialState) {
  bool checked = false;
  const INT_PTR result = Run([&](HWND dlg) {
    checked = true;
    const LONG style = GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & DS_MODALFRAME);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0), 0);

    // Centred on the work area.
    RECT w{}, area{};
    GetWindowRect(dlg, &w);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((w.left + w.right) - (area.left + area.right)), 2);
    EXPECT_LE(std::abs((w.top + w.bottom) - (area.top + area.bottom)), 2);

    struct Expect {
      int id;
      const wchar_t* cls;
      const char* text;
      RECT units;
      bool visible, enabled;
    };
    const Expect expected[] = {
        {IDOK, L"Button", "OK", {215, 103, 46, 14}, true, true},
        {IDCANCEL, L"Button", "Cancel", {167, 103, 46, 14}, true, true},
        {IDC_SETUP_INSTALL_PATH,
         L"Edit",
         "C:\\Program Files\\Tamarind Software\\Corvane",
         {7, 23, 224, 14},
         true,
         false},
        {IDC_SETUP_DESCRIPTION, L"Static", "Install Corvane?", {7, 50, 248, 51}, true, true},
        {IDC_SETUP_PATH_LABEL, L"Static", "Setup path:", {6, 11, 51, 8}, true, true},
        {IDC_SETUP_UPDATE_INFO,
         L"Static",
         "Latest version info (from Internet)",
         {7, 103, 207, 13},
         false,
         true},
    };
    for (const Expect& e : expected) {
      SCOPED_TRACE(e.id);
      const auto found = ControlsWithId(dlg, e.id);
      ASSERT_EQ(found.size(), 1u);
      const Control& c = found[0];
      EXPECT_EQ(_wcsicmp(c.cls.c_str(), e.cls), 0);
      EXPECT_EQ(e2e::Utf8(c.text), e.text);
      EXPECT_NEAR(c.units.left, e.units.left, 1);
      EXPECT_NEAR(c.units.top, e.units.top, 1);
      EXPECT_NEAR(c.units.right, e.units.right, 1);
      EXPECT_NEAR(c.units.bottom, e.units.bottom, 1);
      EXPECT_EQ(c.visible, e.visible);
      EXPECT_EQ(c.enabled, e.enabled);
    }
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dlg, IDOK), GWL_STYLE) & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, IDC_SETUP_INSTALL_PATH), GWL_STYLE) &
                ES_AUTOHSCROLL);

    // Icon frame and browse button: same id, same rectangle; the button is disabled.
    const auto both = ControlsWithId(dlg, IDC_SETUP_ICON_FRAME);
    ASSERT_EQ(both.size(), 2u);
    const Control* button = nullptr;
    const Control* frame = nullptr;
    for (const auto& c : both) (_wcsicmp(c.cls.c_str(), L"Button") == 0 ? button : frame) = &c;
    ASSERT_NE(button, nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(button->style & BS_ICON);
    EXPECT_FALSE(button->enabled);
    EXPECT_TRUE(button->visible);
    EXPECT_EQ(button->units.left, frame->units.left);
    EXPECT_EQ(button->units.right, frame->units.right);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(result, 2);
}

TEST_F(SetupDialogTest, InstallThenNextThenRunProgram) {
  int description0 = 0, description1 = 0;
  bool checked = false;
  const INT_PTR result = Run([&](HWND dlg) {
    RECT r{};
    GetWindowRect(GetDlgItem(dlg, IDC_SETUP_DESCRIPTION), &r);
    description0 = r.top;
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialogLogic->state, 1);
    GetWindowRect(GetDlgItem(dlg, IDC_SETUP_DESCRIPTION), &r);
    description1 = r.top;
    EXPECT_EQ(ControlText(dlg, IDOK), "Next");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDCANCEL)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_SETUP_INSTALL_PATH)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_SETUP_PATH_LABEL)));
    for (const auto& c : ControlsWithId(dlg, IDC_SETUP_ICON_FRAME)) EXPECT_FALSE(c.visible);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDC_SETUP_UPDATE_INFO)));
    EXPECT_EQ(ControlText(dlg, IDC_SETUP_DESCRIPTION)
                  .rfind("The program is successfully installed", 0),
              0u);

    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ControlText(dlg, IDOK), "Run Program");
    EXPECT_EQ(ControlText(dlg, IDCANCEL), "Close");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, IDCANCEL)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, IDC_SETUP_UPDATE_INFO)));
    ASSERT_EQ(shell.owners.size(), 1u);
    EXPECT_EQ(shell.owners[0], reinterpret_cast<WindowRef>(dlg));
    checked = true;
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(description0 - description1, 80);
  EXPECT_EQ(shell.opened.size(), 1u);
  ASSERT_EQ(shell.launched.size(), 2u);
  EXPECT_EQ(shell.launched[1], "C:\\Program Files\\Tamarind Software\\Corvane\\kvx.exe");
}

TEST_F(SetupDialogTest, CloseBoxEndsDialogInInstalledState) {
  const INT_PTR result = Run([&](HWND dlg) {
    SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(dialogLogic->state, 1);
    PostMessageW(dlg, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(result, 2);
}

TEST_F(SetupDialogTest, MinimisedDialogGivesItsIconForDragging) {
  HANDLE dragIcon = nullptr, bigIcon = nullptr;
  Run([&](HWND dlg) {
    bigIcon = reinterpret_cast<HANDLE>(SendMessageW(dlg, WM_GETICON, ICON_BIG, 0));
    dragIcon = reinterpret_cast<HANDLE>(SendMessageW(dlg, WM_QUERYDRAGICON, 0, 0));
    ShowWindow(dlg, SW_MINIMIZE);
    UpdateWindow(dlg);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_NE(dragIcon, nullptr);
  EXPECT_EQ(dragIcon, bigIcon);
}


}  // namespace
}  // namespace corvane
