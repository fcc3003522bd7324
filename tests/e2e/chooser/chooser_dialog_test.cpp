// The folder chooser dialog run for real: RunFolderChooser on the test's thread, a second
// thread looking at the dialog and steering it like a user.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/driver/win_driver.h"
#include "folderdlg/folder_chooser.h"
#include "folderdlg/win32/folder_chooser_dialog.h"
#include "folderdlg/win32/win32_chooser_file_system.h"
#include "resources/resource_ids.h"
#include "system/win32/app_message_box.h"
#include "system/win32/wide.h"

namespace corvane {
namespace {

using namespace corvane::e2e;
using ::testing::Contains;
using ::testing::EndsWith;

const char kBase[] = "C:\\ChooserTest";

void MakeFolder(const std::string& path) { CreateDirectoryW(ToWide(path).c_str(), nullptr); }

// What the steering thread saw; checked on the test's thread once the dialog has ended.
struct Seen {
  HWND dialog = nullptr;
  std::string caption;
  std::vector<std::string> drives;
  std::string selection;  // text of the selected item, "(none)" without one
  std::string pathDisplay;
  std::string freeSpace;
  bool treeHasFocus = false;
  std::vector<std::string> expanded;  // texts of expanded items along the way
  std::string afterChoice;            // path display after the steering selected something
  std::vector<Control> controls;
  LONG dialogStyle = 0;
  RECT clientUnits{};
  int images = -1;               // icons in the tree's image list
  std::vector<int> driveImages;  // image index of each drive node
  int folderImage = -1;          // image index of the selected folder node
};

int ItemImage(HWND tree, HTREEITEM item) {
  TVITEMW data{};
  data.mask = TVIF_IMAGE;
  data.hItem = item;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return data.iImage;
}

void LookAtTemplate(HWND dialog, Seen& seen) {
  seen.dialogStyle = GetWindowLongW(dialog, GWL_STYLE);
  RECT client{};
  GetClientRect(dialog, &client);
  seen.clientUnits = DialogUnits(dialog, client);
  seen.controls = Controls(dialog);
  HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
  auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
  using CountFn = int(WINAPI*)(HIMAGELIST);
  auto count = reinterpret_cast<CountFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "ImageList_GetImageCount")));
  if (list != nullptr && count != nullptr) seen.images = count(list);
  for (HTREEITEM drive : Children(tree, nullptr))
    seen.driveImages.push_back(ItemImage(tree, drive));
  HTREEITEM selected = NextItem(tree, TVGN_CARET, nullptr);
  if (selected != nullptr) seen.folderImage = ItemImage(tree, selected);
}

struct SteerRun {
  std::function<void(HWND, Seen&)> steer;
  Seen seen;
};

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::string& text) {
  for (HTREEITEM item : Children(tree, parent)) {
    if (ItemText(tree, item) == text) return item;
  }
  return nullptr;
}

DWORD WINAPI SteeringThread(void* parameter) {
  auto& run = *static_cast<SteerRun*>(parameter);
  HWND dialog = WaitForDialog(L"Setup Folder");
  run.seen.dialog = dialog;
  if (dialog == nullptr) return 1;
  HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
  // The dialog is shown once it has been filled; the focus follows with its activation.
  run.seen.treeHasFocus = WaitFor([&] { return FocusOf(dialog) == tree; }, 5000);
  run.seen.caption = Utf8(WindowText(dialog));
  for (HTREEITEM item : Children(tree, nullptr)) run.seen.drives.push_back(ItemText(tree, item));
  HTREEITEM selected = NextItem(tree, TVGN_CARET, nullptr);
  run.seen.selection = selected ? ItemText(tree, selected) : "(none)";
  run.seen.pathDisplay = ControlText(dialog, IDC_CHOOSER_PATH_DISPLAY);
  run.seen.freeSpace = ControlText(dialog, IDC_CHOOSER_FREE_SPACE);
  run.seen.expanded = ExpandedChain(tree, DriveC(tree));
  LookAtTemplate(dialog, run.seen);
  run.steer(dialog, run.seen);
  // Whatever the steering did, the dialog has to end for the test to go on.
  if (!WaitGone(dialog, 15000)) Press(dialog, IDCANCEL);
  return 0;
}

class ChooserDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MakeFolder(kBase);
    MakeFolder(std::string(kBase) + "\\Data");
    MakeFolder(std::string(kBase) + "\\Data\\Projects");
    MakeFolder(std::string(kBase) + "\\Data\\Projects\\Alpha");
  }

  // Runs the chooser from `start`; returns what RunFolderChooser returned.
  bool RunChooser(std::string& path, std::function<void(HWND, Seen&)> steer,
                  bool showFreeSpace = true) {
    run_.steer = std::move(steer);
    HANDLE thread = CreateThread(nullptr, 0, SteeringThread, &run_, 0, nullptr);
    EXPECT_NE(thread, nullptr);
    const bool ok = RunFolderChooser(nullptr, showFreeSpace, path,
                                     [](const std::string& text) { AppMessageBox(text, MB_OK); });
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    EXPECT_NE(run_.seen.dialog, nullptr) << "the chooser never became visible";
    return ok;
  }

  const Seen& seen() const { return run_.seen; }

  SteerRun run_;
};

TEST_F(ChooserDialogTest, OpensOnTheStartFolderWithDrivesPathAndFreeSpace) {
  std::string path = std::string(kBase) + "\\Data\\Projects\\";
  const bool ok = RunChooser(path, [](HWND dialog, Seen&) { Press(dialog, IDOK); });

  EXPECT_EQ(seen().caption, "Setup Folder");
  EXPECT_THAT(seen().drives, Contains(EndsWith(" (C:)")));
  EXPECT_EQ(seen().selection, "Projects");
  EXPECT_EQ(seen().pathDisplay, "C:\\ChooserTest\\Data\\Projects\\");
  // The figure moves with other programs' writes; which drive's space, in which words:
  // FolderChooserTest and FreeSpaceTextTest on the host. Past 4 TB free the field stays empty.
  DiskFreeSpace space;
  ASSERT_TRUE(Win32ChooserFileSystem().FreeSpace("C:\\", space));
  EXPECT_THAT(seen().freeSpace,
              ::testing::MatchesRegex(FreeSpaceText(space).empty() ? "" : "\\d+\\wB free"));
  EXPECT_TRUE(seen().treeHasFocus);
  // Ancestors expanded, the selected folder itself not.
  ASSERT_EQ(seen().expanded.size(), 3u);
  EXPECT_THAT(seen().expanded[0], EndsWith("(C:)"));
  EXPECT_EQ(seen().expanded[1], "ChooserTest");
  EXPECT_EQ(seen().expanded[2], "Data");
  EXPECT_TRUE(ok);
  EXPECT_EQ(path, "C:\\ChooserTest\\Data\\Projects\\");
}

bool SameRect(const RECT& a, const RECT& b) {
  // One unit of slack for the rounding between pixels and dialog units.
  return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 &&
         std::abs(a.right - b.right) <= 1 && std::abs(a.bottom - b.bottom) <= 1;
}

TEST_F(ChooserDialogTest, TemplateControlsStylesAndImages) {
  std::string path = std::string(kBase) + "\\Data\\";
  RunChooser(path, [](HWND dialog, Seen&) { Press(dialog, IDCANCEL); });

  const LONG frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  EXPECT_EQ(seen().dialogStyle & frame, frame);
  EXPECT_EQ(seen().dialogStyle & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_TRUE(SameRect(seen().clientUnits, RECT{0, 0, 233, 183}));

  struct Expected {
    int id;
    const wchar_t* cls;
    const char* text;
    LONG styles;
    RECT units;
  };
  const Expected expected[] = {
      {IDOK, L"Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {177, 167, 50, 14}},
      {IDCANCEL, L"Button", "Cancel", WS_TABSTOP, {118, 167, 50, 14}},
      {IDC_CHOOSER_TREE,
       L"SysTreeView32",
       "",
       TVS_SHOWSELALWAYS | TVS_DISABLEDRAGDROP | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
           TVS_LINESATROOT,
       {4, 17, 223, 146}},
      {IDC_CHOOSER_FOLDER_LABEL, L"Static", "Folder:", SS_LEFT, {3, 3, 26, 8}},
      {IDC_CHOOSER_PATH_DISPLAY,
       L"Static",
       "C:\\ChooserTest\\Data\\",
       SS_CENTERIMAGE | SS_SUNKEN | SS_NOPREFIX,
       {30, 1, 197, 14}},
      {IDC_CHOOSER_FREE_SPACE, L"Edit", nullptr, ES_READONLY | WS_TABSTOP, {5, 166, 108, 14}},
  };
  ASSERT_EQ(seen().controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& got = seen().controls[i];
    const auto& want = expected[i];
    EXPECT_EQ(got.id, want.id) << i;
    EXPECT_EQ(_wcsicmp(got.cls.c_str(), want.cls), 0) << i;
    if (want.text != nullptr) {
      EXPECT_EQ(Utf8(got.text), want.text) << i;
    }
    EXPECT_EQ(got.style & want.styles, want.styles) << i;
    EXPECT_TRUE(SameRect(got.units, want.units))
        << i << ": " << got.units.left << "," << got.units.top << " " << got.units.right << "x"
        << got.units.bottom;
  }
  EXPECT_EQ(seen().controls[2].style & TVS_EDITLABELS, 0) << "node texts are not editable";
  // The control turns its border style into a client edge when it is created.
  EXPECT_TRUE((seen().controls[2].style & WS_BORDER) ||
              (seen().controls[2].exStyle & WS_EX_CLIENTEDGE));
  EXPECT_EQ(seen().controls[5].style & WS_BORDER, 0) << "the free-space field has no border";

  EXPECT_EQ(seen().images, 5);
  EXPECT_EQ(seen().folderImage, 0);
  EXPECT_THAT(seen().driveImages, Contains(1));  // C: and Z: are fixed drives under Wine
  for (int image : seen().driveImages) {
    EXPECT_GE(image, 1);
    EXPECT_LE(image, 4);
  }
}

// From a start folder whose last components are missing: what exists is expanded, nothing is
// selected, also when the focus comes back to the tree, and clicks reach a folder. (OK with
// nothing chosen, and keys alone: setup_browse.sh, through the setup's own browse button.)
TEST_F(ChooserDialogTest, FromAMissingStartFolderNothingIsSelectedUntilAClick) {
  std::string path = std::string(kBase) + "\\Data\\Tamarind Software\\Corvane\\";
  const bool ok = RunChooser(path, [](HWND dialog, Seen& seen) {
    // Tab away and back: the tree gains the focus again with nothing selected.
    SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    SendMessageW(dialog, WM_NEXTDLGCTL, 1, FALSE);
    HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
    HTREEITEM selected = NextItem(tree, TVGN_CARET, nullptr);
    seen.afterChoice = (selected ? ItemText(tree, selected) : "(none)") + "|" +
                       ControlText(dialog, IDC_CHOOSER_PATH_DISPLAY) + "|" +
                       (FocusOf(dialog) == tree ? "tree" : "other");
    HTREEITEM data = ChildNamed(tree, ChildNamed(tree, DriveC(tree), "ChooserTest"), "Data");
    ClickItem(tree, ChildNamed(tree, data, "Projects"));
    seen.afterChoice += "|" + ControlText(dialog, IDC_CHOOSER_PATH_DISPLAY);
    Press(dialog, IDOK);
  });
  ASSERT_EQ(seen().expanded.size(), 3u);
  EXPECT_EQ(seen().expanded[2], "Data");
  EXPECT_EQ(seen().selection, "(none)");
  EXPECT_EQ(seen().pathDisplay, "");
  EXPECT_EQ(seen().afterChoice, "(none)||tree|C:\\ChooserTest\\Data\\Projects\\");
  EXPECT_TRUE(ok);
  EXPECT_EQ(path, "C:\\ChooserTest\\Data\\Projects\\");
}

// OK gives the chosen drive's root; Cancel, Escape and the close box change nothing.
TEST_F(ChooserDialogTest, ChosenDriveGivesItsRootOnlyWithOk) {
  using Leave = bool (*)(HWND);
  const Leave pressOk = [](HWND dialog) { return Press(dialog, IDOK); };
  const Leave pressCancel = [](HWND dialog) { return Press(dialog, IDCANCEL); };
  for (Leave leave : {pressOk, pressCancel, Leave{PressEscape}, Leave{PressCloseBox}}) {
    std::string path = std::string(kBase) + "\\Data\\";
    const bool ok = RunChooser(path, [leave](HWND dialog, Seen& seen) {
      HWND tree = GetDlgItem(dialog, IDC_CHOOSER_TREE);
      ClickItem(tree, DriveC(tree));
      seen.afterChoice = ControlText(dialog, IDC_CHOOSER_PATH_DISPLAY);
      leave(dialog);
    });
    EXPECT_EQ(seen().afterChoice, "C:\\");
    EXPECT_EQ(ok, leave == pressOk);
    EXPECT_EQ(path, leave == pressOk ? "C:\\" : "C:\\ChooserTest\\Data\\");
  }
}

}  // namespace
}  // namespace corvane
